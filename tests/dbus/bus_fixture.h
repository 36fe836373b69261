// D-Bus test support on top of the shared helpers: a private dbus-daemon per test program, and
// the few things the tests do to the link publisher.
#pragma once

#include "test_support.h"

#include <QtDBus>

#include <csignal>

namespace testing_support {

using veltaro::support::Child;
using veltaro::support::spin;
using veltaro::support::waitUntil;

// A dbus-daemon of our own, so that tests never meet other programs' names.
class PrivateBus {
public:
    PrivateBus() {
        for (int i = 0; i < 50 && !daemon_.process().canReadLine(); ++i) // 5 s at most
            daemon_.process().waitForReadyRead(100);
        address_ = QString::fromUtf8(daemon_.process().readLine()).trimmed();
    }
    const QString& address() const { return address_; } // empty when it did not start
    QDBusConnection connection() const {
        return QDBusConnection::connectToBus(address_, "private-test-bus");
    }
    QProcessEnvironment environment() const {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", address_);
        return env;
    }
    bool hasOwner(const QString& name) const {
        return connection().interface()->isServiceRegistered(name).value();
    }

private:
    Child daemon_{"dbus-daemon", {"--session", "--nofork", "--print-address"}};
    QString address_;
};

// The test program's bus, started when first used.
inline PrivateBus& theBus() {
    static PrivateBus bus;
    return bus;
}

// Starts program on the private bus; with `ready`, waits until it prints that line.
inline std::unique_ptr<Child> startOnBus(const QString& program, const QStringList& args,
                                         const QString& ready = {}) {
    auto c = std::make_unique<Child>(program, args, theBus().environment());
    if (!ready.isEmpty() && !c->waitForLine(ready, 5000))
        throw std::runtime_error((program + " did not print " + ready).toStdString());
    return c;
}

// Sends signo; for SIGSTOP also waits (bounded) until the process is really stopped, since a
// process running on another core stops a moment after kill() returns.
// A child that has already ended is left alone: its pid reads 0, and kill(0) would signal the
// whole process group, the test runner and the window manager included.
inline void sendSignal(Child& c, int signo) {
    const auto pid = static_cast<pid_t>(c.process().processId());
    if (pid > 0 && ::kill(pid, signo) == 0 && signo == SIGSTOP)
        waitUntil(
            [&] {
                const QByteArray s = veltaro::support::readFile(QString("/proc/%1/stat").arg(pid));
                return s.mid(s.lastIndexOf(')') + 2, 1) == "T";
            },
            2000);
}

// Sends a command to a link publisher fed from standard input and waits for its "done".
inline bool command(Child& server, const QString& line, int ms = 3000) {
    const auto before = server.lines().count("done");
    server.send(line);
    return waitUntil([&] { return server.lines().count("done") > before; }, ms);
}

} // namespace testing_support
