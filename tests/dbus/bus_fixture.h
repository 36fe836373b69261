// Test support: a private D-Bus daemon per test program, child processes that are always
// stopped, and bounded waits that keep the Qt event loop running.
#pragma once

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>

namespace testing_support {

// Runs the event loop until pred() holds or ms pass; returns pred().
inline bool waitUntil(const std::function<bool()>& pred, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() >= ms)
            return pred();
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void spin(int ms) {
    waitUntil([] { return false; }, ms);
}

// Calls read() until it returns instead of throwing; nothing after ms.
template <class Read> auto firstValue(Read read, int ms) {
    std::optional<decltype(read())> value;
    waitUntil(
        [&] {
            try {
                value = read();
            } catch (const std::exception&) {
            }
            return value.has_value();
        },
        ms);
    return value;
}

// A dbus-daemon of our own, so that tests never meet other programs' names.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        QElapsedTimer t;
        t.start();
        while (daemon_.waitForStarted(5000) && !daemon_.canReadLine() && t.elapsed() < 5000)
            daemon_.waitForReadyRead(100);
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
    }
    ~PrivateBus() {
        QDBusConnection::disconnectFromBus(QStringLiteral("private-test-bus"));
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    const QString& address() const { return address_; }
    QDBusConnection connection() const {
        return QDBusConnection::connectToBus(address_, QStringLiteral("private-test-bus"));
    }
    QProcessEnvironment environment() const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address_);
        return env;
    }
    bool hasOwner(const QString& name) const {
        return connection().interface()->isServiceRegistered(name).value();
    }

private:
    QProcess daemon_;
    QString address_;
};

extern PrivateBus* theBus; // the test program's bus, set by test_main.cpp

// A child process that is killed (and continued, if stopped) when the test ends.
class Child {
public:
    Child(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
        p_.setProcessEnvironment(env);
        p_.start(program, args);
        p_.waitForStarted(5000);
    }
    ~Child() { stop(); }
    void stop() {
        if (p_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(p_.processId()), SIGCONT);
        p_.kill();
        p_.waitForFinished(5000);
    }
    // Sends signo; for SIGSTOP also waits (bounded) until the process is really stopped, since
    // a process running on another core stops a moment after kill() returns.
    void signal(int signo) {
        ::kill(static_cast<pid_t>(p_.processId()), signo);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(p_.processId()));
        waitUntil(
            [&] {
                if (signo != SIGSTOP || !stat.open(QIODevice::ReadOnly))
                    return true;
                const QByteArray line = stat.readAll();
                stat.close();
                return line.mid(line.lastIndexOf(')') + 2, 1) == "T";
            },
            2000);
    }
    // Every stdout line read so far plus whatever is waiting now.
    QStringList lines() {
        while (p_.canReadLine())
            seen_ << QString::fromUtf8(p_.readLine()).trimmed();
        return seen_;
    }
    // Waits (event loop running) until the line has appeared on standard output.
    bool waitForLine(const QString& line, int ms) {
        return waitUntil([&] { return lines().contains(line); }, ms);
    }
    void send(const QString& line) {
        p_.write((line + QLatin1Char('\n')).toUtf8());
        p_.waitForBytesWritten(1000);
    }
    // Sends a command to a test server and waits for its "done".
    bool command(const QString& line, int ms = 3000) {
        const auto before = lines().count(QStringLiteral("done"));
        send(line);
        return waitUntil([&] { return lines().count(QStringLiteral("done")) > before; }, ms);
    }
    QProcess& process() { return p_; }

private:
    QProcess p_;
    QStringList seen_;
};

// Starts program on the private bus; with `ready`, waits until it prints that line.
inline std::unique_ptr<Child> startOnBus(const QString& program, const QStringList& args,
                                         const QString& ready = {}) {
    auto c = std::make_unique<Child>(program, args, theBus->environment());
    if (!ready.isEmpty() && !c->waitForLine(ready, 5000))
        throw std::runtime_error(
            (program + QStringLiteral(" did not print ") + ready).toStdString());
    return c;
}

} // namespace testing_support
