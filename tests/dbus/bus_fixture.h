// D-Bus test support on top of the shared helpers: a private dbus-daemon per test program, and
// the few things the adapter tests do to the scriptable test server and the bridge.
#pragma once

#include "test_support.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QFile>

#include <csignal>
#include <optional>
#include <stdexcept>

namespace testing_support {

using veltaro::support::Child;
using veltaro::support::spin;
using veltaro::support::waitUntil;

// A dbus-daemon of our own, so that tests never meet other programs' names.
class PrivateBus {
public:
    PrivateBus() {
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--session"), QStringLiteral("--nofork"),
                       QStringLiteral("--print-address")});
        for (int i = 0; i < 50 && !daemon_.canReadLine(); ++i) // 5 s at most
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

// Starts program on the private bus; with `ready`, waits until it prints that line.
inline std::unique_ptr<Child> startOnBus(const QString& program, const QStringList& args,
                                         const QString& ready = {}) {
    auto c = std::make_unique<Child>(program, args, theBus->environment());
    if (!ready.isEmpty() && !c->waitForLine(ready, 5000))
        throw std::runtime_error(
            (program + QStringLiteral(" did not print ") + ready).toStdString());
    return c;
}

// Sends signo; for SIGSTOP also waits (bounded) until the process is really stopped, since a
// process running on another core stops a moment after kill() returns.
// A child that has already ended is left alone: its pid reads 0, and kill(0) would signal the
// whole process group, the test runner and the window manager included.
inline void sendSignal(Child& c, int signo) {
    const auto pid = static_cast<pid_t>(c.process().processId());
    if (pid <= 0)
        return;
    ::kill(pid, signo);
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
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

// Sends a command to the test server and waits for its "done".
inline bool command(Child& server, const QString& line, int ms = 3000) {
    const auto before = server.lines().count(QStringLiteral("done"));
    server.send(line);
    return waitUntil([&] { return server.lines().count(QStringLiteral("done")) > before; }, ms);
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

} // namespace testing_support
