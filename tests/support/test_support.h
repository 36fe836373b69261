// Helpers for tests that drive real parts: a pseudo-terminal standing in for the serial device,
// programs run to their end or kept running in the background (always killed), the user nobody,
// a temporary settings folder, the real veltaro program, and waits with a bound.
#pragma once

#include <QtCore>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <sys/stat.h>

#include <functional>

namespace veltaro::support {

// Runs the event loop until pred() holds or ms have passed; returns pred().
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
inline QByteArray readFile(const QString& path) { // empty when unreadable
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A raw pseudo-terminal pair: the program under test opens path(), the test reads the master.
class Pty {
public:
    Pty() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
    }
    ~Pty() {
        closeMaster();
        ::close(slave_);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const QString& path() const { return path_; }
    int slave() const { return slave_; }
    // Whatever has arrived so far, without waiting.
    QByteArray readNow(int max = 4096) {
        QByteArray out(max, '\0');
        out.resize(std::max<ssize_t>(master_ < 0 ? 0 : ::read(master_, out.data(), max), 0));
        return out;
    }
    // Reads until count bytes have arrived or ms have passed, with the event loop running.
    QByteArray readAtLeast(int count, int ms) {
        QByteArray out;
        waitUntil([&] { return (out += readNow(count - int(out.size()))).size() >= count; }, ms);
        return out;
    }
    // What the device on the other end sends.
    void writeNow(const QByteArray& bytes) {
        ASSERT_EQ(::write(master_, bytes.constData(), bytes.size()), bytes.size());
    }
    // The device is gone for the slave side.
    void closeMaster() {
        ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
};

// A program running for the life of the object, killed at the end.
class Child {
public:
    Child(const QString& program, const QStringList& args,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
        p_.setProcessEnvironment(env);
        p_.start(program, args);
        p_.waitForStarted(5000);
    }
    ~Child() {
        p_.kill();
        p_.waitForFinished(5000);
    }
    QProcess& process() { return p_; }
    bool running() const { return p_.state() == QProcess::Running; }
    // Waits (event loop running) for this line on standard output.
    bool waitForLine(const QString& line, int ms) {
        return waitUntil([&] { return lines().contains(line); }, ms);
    }
    QStringList lines() { // every standard output line so far
        while (p_.canReadLine())
            seen_ << QString::fromUtf8(p_.readLine()).trimmed();
        return seen_;
    }
    void send(const QString& line) {
        p_.write((line + '\n').toUtf8());
        p_.waitForBytesWritten(1000);
    }

private:
    QProcess p_;
    QStringList seen_;
};

struct Finished {
    int exitCode = -1; // -1 unless it exited normally within the time given
    QString out, err;
};
// Runs a program to its end; killed after ms.
inline Finished run(const QString& program, const QStringList& args,
                    const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                    int ms = 20000) {
    Child c(program, args, env);
    QProcess& p = c.process();
    const bool ended = p.waitForFinished(ms) && p.exitStatus() == QProcess::NormalExit;
    return {ended ? p.exitCode() : -1, QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

inline void giveToNobody(const QString& path) { // chown to nobody:nogroup; throws on failure
    const passwd* user = ::getpwnam("nobody");
    const group* grp = ::getgrnam("nogroup");
    if (!user || !grp || ::chown(QFile::encodeName(path), user->pw_uid, grp->gr_gid))
        throw std::runtime_error("cannot give " + path.toStdString() + " to nobody");
}
// In a test run again by rerunAsNobody, the argument it was given; empty otherwise.
inline QString nobodyArgument() {
    return qEnvironmentVariable("VELTARO_AS_NOBODY");
}
// Runs the current test again, as the user nobody (through setpriv) in a copy of the test
// program (the build tree may be closed to nobody), with nobodyArgument() returning `argument`.
// Succeeds when that run passed the one test.
inline ::testing::AssertionResult rerunAsNobody(const QString& argument) {
    QTemporaryDir dir;
    const QString copy =
        dir.path() + "/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    QFile::copy(QCoreApplication::applicationFilePath(), copy);
    ::chmod(QFile::encodeName(dir.path()), 0755);
    ::chmod(QFile::encodeName(copy), 0555);
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VELTARO_AS_NOBODY", argument);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const auto r = run("setpriv",
                       {"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy,
                        QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())},
                       env);
    if (r.exitCode == 0 && r.out.contains("[  PASSED  ] 1 test."))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "as nobody:\n"
                                         << r.out.toStdString() << r.err.toStdString();
}

// A temporary folder used as XDG_CONFIG_HOME, holding Veltaro/Veltaro.conf.
class ConfigFolder {
public:
    QString path() const { return dir_.path(); }
    QString settingsFile() const { return dir_.path() + "/Veltaro/Veltaro.conf"; }
    void write(const QByteArray& ini) const {
        QDir().mkpath(QFileInfo(settingsFile()).path());
        QFile f(settingsFile());
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(ini) != ini.size())
            throw std::runtime_error("cannot write the settings file");
    }
    QByteArray contents() const { return readFile(settingsFile()); }

private:
    QTemporaryDir dir_;
};

// A ConfigFolder that is this process's XDG_CONFIG_HOME for the life of the object.
class ConfigHome : public ConfigFolder {
public:
    ConfigHome() { qputenv("XDG_CONFIG_HOME", QFile::encodeName(path())); }
    ~ConfigHome() { qputenv("XDG_CONFIG_HOME", old_); } // empty stands for unset

private:
    QByteArray old_ = qgetenv("XDG_CONFIG_HOME");
};

// The real veltaro program, copied into a folder of its own that is also its XDG_CONFIG_HOME
// (PEGASUS.OUT is written beside it).
class Program : public ConfigFolder {
public:
    explicit Program(const QString& binary) {
        if (!QFile::copy(binary, path() + "/veltaro"))
            throw std::runtime_error("cannot copy " + binary.toStdString());
    }
    // Starts it with the given Qt platform plugin.
    void start(QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
               const QString& platform = "offscreen") {
        env.insert("XDG_CONFIG_HOME", path());
        env.insert("QT_QPA_PLATFORM", platform);
        child_ = std::make_unique<Child>(path() + "/veltaro", QStringList{}, env);
    }
    QProcess& process() { return child_->process(); }
    QByteArray frequencyFile() const { return readFile(path() + "/PEGASUS.OUT"); }

private:
    std::unique_ptr<Child> child_;
};

} // namespace veltaro::support

// Checks that switch to the user nobody need root (CI runs the tests as root).
#define SKIP_UNLESS_ROOT()                                                                         \
    if (::geteuid() != 0)                                                                          \
    GTEST_SKIP() << "needs root to become nobody"
