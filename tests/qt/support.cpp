#include "support.h"

#include "platform/errors.h"
#include "platform/qt/file_system_qt.h"
#include "platform/qt/serial_port_qt.h"
#include "platform/qt/settings_store_qt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

namespace veltaro::qt::test {

Pty::Pty() {
    if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    path_ = ::ttyname(slave_);
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
    closeMaster();
    ::close(slave_);
}

QByteArray Pty::readNow(int max) {
    QByteArray out;
    if (master_ < 0)
        return out;
    char buf[4096];
    while (out.size() < max) {
        auto n = ::read(master_, buf, std::min<int>(sizeof buf, max - out.size()));
        if (n <= 0)
            break;
        out.append(buf, n);
    }
    return out;
}

QByteArray Pty::readAtLeast(int count, int ms) {
    QByteArray out;
    QDeadlineTimer deadline(ms);
    while (out.size() < count && !deadline.hasExpired()) {
        out += readNow(count - out.size());
        if (out.size() < count)
            runEventLoop(2);
    }
    return out;
}

void Pty::closeMaster() {
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

ConfigHome::ConfigHome() {
    hadOld_ = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    old_ = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
}

ConfigHome::~ConfigHome() {
    if (hadOld_)
        qputenv("XDG_CONFIG_HOME", old_);
    else
        qunsetenv("XDG_CONFIG_HOME");
}

void ConfigHome::writeSettingsFile(const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(settingsFile()).path());
    QFile f(settingsFile());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write the settings file");
}

QByteArray ConfigHome::settingsFileBytes() const {
    QFile f(settingsFile());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::string MemorySettings::readSetting(const std::string& app, const std::string& section,
                                        const std::string& key) {
    auto it = values.find(app + "/" + section + "/" + key);
    return it == values.end() ? std::string() : it->second;
}

void MemorySettings::writeSetting(const std::string& app, const std::string& section,
                                  const std::string& key, const std::string& value) {
    values[app + "/" + section + "/" + key] = value;
}

void runEventLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

namespace {

// A copy of this binary in a folder that nobody may enter (the build tree may be closed to it).
QString binaryForNobody() {
    static QTemporaryDir dir;
    static QString copy;
    if (copy.isEmpty()) {
        copy = dir.path() + "/qt_adapter_tests";
        QFile::copy(QCoreApplication::applicationFilePath(), copy);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
        QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                        QFileDevice::ReadOther | QFileDevice::ExeOther);
    }
    return copy;
}

} // namespace

ChildResult runChild(const QString& mode, const QStringList& args, bool unprivileged,
                     const QStringList& env) {
    QProcess child;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VELTARO_TEST_CHILD", mode);
    for (const auto& entry : env)
        environment.insert(entry.section('=', 0, 0), entry.section('=', 1));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    if (unprivileged) {
        child.start("setpriv", QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                                           binaryForNobody()} +
                                   args);
    } else {
        child.start(QCoreApplication::applicationFilePath(), args);
    }
    ChildResult result;
    result.finished = child.waitForFinished(20000);
    if (!result.finished) {
        child.kill();
        child.waitForFinished(5000);
    }
    result.output = QString::fromLocal8Bit(child.readAll());
    if (result.finished && child.exitStatus() == QProcess::NormalExit)
        result.exitCode = child.exitCode();
    return result;
}

void giveToNobody(const QString& path) {
    const passwd* user = ::getpwnam("nobody");
    const group* grp = ::getgrnam("nogroup");
    if (!user || !grp || ::chown(QFile::encodeName(path).constData(), user->pw_uid, grp->gr_gid))
        throw std::runtime_error("cannot give " + path.toStdString() + " to nobody");
}

namespace {

template <typename Expected, typename Wrong, typename Action> int expectFailure(Action action) {
    try {
        action();
    } catch (const Wrong& e) {
        std::printf("wrong failure: %s\n", e.what());
        return WrongFailure;
    } catch (const Expected& e) {
        std::printf("%s\n", e.what());
        return ChildOk;
    } catch (const std::exception& e) {
        std::printf("wrong failure: %s\n", e.what());
        return WrongFailure;
    }
    return NoFailure;
}

// Never thrown; stands for "no exception type is wrong beyond the expected one".
struct Nothing : std::exception {};

} // namespace

int childMain(const QString& mode, const QStringList& args) {
    if (mode == "open" && args.size() == 1) {
        MemorySettings settings;
        settings.values["Veltaro/Ports/Com5"] = args[0].toStdString();
        QtSerialPort port(settings);
        port.setCommPort(5);
        return expectFailure<veltaro::PortError, Nothing>([&] { port.setPortOpen(true); });
    }
    if (mode == "write-file" && args.size() == 2) {
        QtFileSystem fs;
        return expectFailure<veltaro::FileError, Nothing>(
            [&] { fs.writeFile(args[0].toStdString(), args[1].toStdString()); });
    }
    if (mode == "write-setting" && args.size() == 4) {
        QtSettingsStore store;
        return expectFailure<veltaro::Error, veltaro::PortError>([&] {
            store.writeSetting(args[0].toStdString(), args[1].toStdString(), args[2].toStdString(),
                               args[3].toStdString());
        });
    }
    if (mode == "read-settings" && args.size() >= 2) {
        // One line per key, percent-encoded so that any text survives the trip.
        QtSettingsStore store;
        for (const auto& key : args.mid(2)) {
            auto value =
                store.readSetting(args[0].toStdString(), args[1].toStdString(), key.toStdString());
            std::printf("%s\n", QByteArray::fromStdString(value).toPercentEncoding().constData());
        }
        return ChildOk;
    }
    std::printf("unknown child mode %s\n", qPrintable(mode));
    return BadMode;
}

} // namespace veltaro::qt::test
