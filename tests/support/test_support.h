// Helpers for tests that drive real parts: a pseudo-terminal standing in for the serial device,
// programs run to their end or kept running in the background (always killed), the user nobody,
// a temporary settings folder, the real veltaro program, and waits with a bound.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include <unistd.h>

namespace veltaro::support {

// Runs the event loop until pred() holds or ms have passed; returns pred().
bool waitUntil(const std::function<bool()>& pred, int ms);
inline void spin(int ms) {
    waitUntil([] { return false; }, ms);
}
QByteArray readFile(const QString& path); // empty when unreadable

// A raw pseudo-terminal pair: the program under test opens path(), the test reads the master.
class Pty {
public:
    Pty();
    ~Pty() {
        closeMaster();
        ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const QString& path() const { return path_; }
    int slave() const { return slave_; }
    // Whatever has arrived so far, without waiting.
    QByteArray readNow(int max = 1 << 16);
    // Reads until count bytes have arrived or ms have passed, with the event loop running.
    QByteArray readAtLeast(int count, int ms);
    // Waits until bytes arrive, dropping whatever came before them.
    bool waitFor(const QByteArray& bytes, int ms);
    const QByteArray& unmatched() const { return seen_; }
    // The device is gone for the slave side.
    void closeMaster() {
        ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray seen_;
};

struct Finished {
    int exitCode = -1; // -1 unless it exited normally within the time given
    QString out, err;
};
// Runs a program to its end; killed after ms.
Finished run(const QString& program, const QStringList& args,
             const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
             int ms = 20000);
// Runs a copy of binary as the user nobody (through setpriv): the build tree may be closed to it.
Finished runAsNobody(const QString& binary, const QStringList& args,
                     const QProcessEnvironment& env);
void giveToNobody(const QString& path); // chown to nobody:nogroup; throws on failure
bool isRoot();

// A program running for the life of the object, killed at the end.
class Child {
public:
    Child(const QString& program, const QStringList& args,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    ~Child();
    QProcess& process() { return p_; }
    bool running() const { return p_.state() == QProcess::Running; }
    // Waits (event loop running) for this line on standard output.
    bool waitForLine(const QString& line, int ms) {
        return waitUntil([&] { return lines().contains(line); }, ms);
    }
    QStringList lines(); // every standard output line so far
    void send(const QString& line) {
        p_.write((line + '\n').toUtf8());
        p_.waitForBytesWritten(1000);
    }

private:
    QProcess p_;
    QStringList seen_;
};

// A temporary folder used as XDG_CONFIG_HOME, holding Veltaro/Veltaro.conf.
class ConfigFolder {
public:
    QString path() const { return dir_.path(); }
    QString settingsFile() const { return dir_.path() + "/Veltaro/Veltaro.conf"; }
    void write(const QByteArray& ini) const;
    QByteArray contents() const { return readFile(settingsFile()); }

private:
    QTemporaryDir dir_;
};

// A ConfigFolder that is this process's XDG_CONFIG_HOME for the life of the object.
class ConfigHome : public ConfigFolder {
public:
    ConfigHome();
    ~ConfigHome();

private:
    QByteArray old_;
    bool hadOld_;
};

// The real veltaro program, copied into a folder of its own (PEGASUS.OUT is written beside it).
class Program {
public:
    explicit Program(const QString& binary);
    // Starts it with its settings in `config` and the given Qt platform plugin.
    void start(QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
               const QString& platform = "offscreen");
    QProcess& process() { return child_->process(); }
    QByteArray frequencyFile() const { return readFile(dir_.path() + "/PEGASUS.OUT"); }

    ConfigFolder config;

private:
    QTemporaryDir dir_;
    std::unique_ptr<Child> child_;
};

} // namespace veltaro::support

// Checks that switch to the user nobody need root (CI runs the tests as root).
#define SKIP_UNLESS_ROOT()                                                                         \
    do {                                                                                           \
        if (!::veltaro::support::isRoot())                                                         \
            GTEST_SKIP() << "needs root to run a check as the user nobody";                        \
    } while (false)
