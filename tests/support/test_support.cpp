#include "test_support.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <pwd.h>
#include <sys/stat.h>
#include <termios.h>

#include <stdexcept>

namespace veltaro::support {

bool waitUntil(const std::function<bool()>& pred, int ms) {
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

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

Pty::Pty() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    termios t{};
    ::tcgetattr(slave_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave_, TCSANOW, &t);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    path_ = QString::fromLocal8Bit(::ttyname(slave_));
}

QByteArray Pty::readNow(int max) {
    QByteArray out;
    char buf[4096];
    for (ssize_t n = 1; master_ >= 0 && n > 0 && out.size() < max;) {
        n = ::read(master_, buf, std::min<qsizetype>(sizeof buf, max - out.size()));
        out.append(buf, std::max<ssize_t>(n, 0));
    }
    return out;
}

QByteArray Pty::readAtLeast(int count, int ms) {
    QByteArray out;
    waitUntil([&] { return (out += readNow(count - int(out.size()))).size() >= count; }, ms);
    return out;
}

bool Pty::waitFor(const QByteArray& bytes, int ms) {
    return waitUntil(
        [&] {
            const auto at = (seen_ += readNow()).indexOf(bytes);
            if (at >= 0)
                seen_.remove(0, at + bytes.size());
            return at >= 0;
        },
        ms);
}

Finished run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
             int ms) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    Finished result;
    if (p.waitForFinished(ms) && p.exitStatus() == QProcess::NormalExit)
        result.exitCode = p.exitCode();
    p.kill();
    p.waitForFinished(5000);
    result.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    result.err = QString::fromLocal8Bit(p.readAllStandardError());
    return result;
}

Finished runAsNobody(const QString& binary, const QStringList& args,
                     const QProcessEnvironment& env) {
    QTemporaryDir dir;
    const QString copy = dir.path() + "/" + QFileInfo(binary).fileName();
    QFile::copy(binary, copy);
    ::chmod(QFile::encodeName(dir.path()), 0755);
    ::chmod(QFile::encodeName(copy), 0555);
    return run("setpriv",
               QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy} + args,
               env);
}

void giveToNobody(const QString& path) {
    const passwd* user = ::getpwnam("nobody");
    const group* grp = ::getgrnam("nogroup");
    if (!user || !grp || ::chown(QFile::encodeName(path), user->pw_uid, grp->gr_gid))
        throw std::runtime_error("cannot give " + path.toStdString() + " to nobody");
}

bool isRoot() {
    return ::geteuid() == 0;
}

Child::Child(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    p_.setProcessEnvironment(env);
    p_.start(program, args);
    p_.waitForStarted(5000);
}

Child::~Child() {
    p_.kill();
    p_.waitForFinished(5000);
}

QStringList Child::lines() {
    while (p_.canReadLine())
        seen_ << QString::fromUtf8(p_.readLine()).trimmed();
    return seen_;
}

void ConfigFolder::write(const QByteArray& ini) const {
    QDir().mkpath(QFileInfo(settingsFile()).path());
    QFile f(settingsFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(ini) != ini.size())
        throw std::runtime_error("cannot write the settings file");
}

ConfigHome::ConfigHome()
    : old_(qgetenv("XDG_CONFIG_HOME")), hadOld_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(path()));
}

ConfigHome::~ConfigHome() {
    if (hadOld_)
        qputenv("XDG_CONFIG_HOME", old_);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

Program::Program(const QString& binary) {
    if (!QFile::copy(binary, dir_.path() + "/veltaro"))
        throw std::runtime_error("cannot copy " + binary.toStdString());
}

void Program::start(QProcessEnvironment env, const QString& platform) {
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("QT_QPA_PLATFORM", platform);
    child_ = std::make_unique<Child>(dir_.path() + "/veltaro", QStringList{}, env);
}

} // namespace veltaro::support
