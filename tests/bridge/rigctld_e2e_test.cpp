// The whole chain with Hamlib's own dummy radio: rigctl -> rigctld -m 1 -> veltaro-bridge
// --rigctld -> veltaro (offscreen) -> the controller's pty, on a private D-Bus daemon.
#include "bus_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testing_support {
extern PrivateBus* theBus;
}

namespace {

using namespace testing_support;

class Pty {
public:
    Pty() {
        if (::openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            return;
        termios t{};
        ::tcgetattr(slave_, &t);
        ::cfmakeraw(&t);
        ::tcsetattr(slave_, TCSANOW, &t);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        path_ = QString::fromLocal8Bit(::ttyname(slave_));
    }
    ~Pty() {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    const QString& slavePath() const { return path_; }
    // Waits for `command` to be the next bytes on the line; other commands before it are
    // dropped (the dummy radio's start-up frequency, for one).
    bool waitFor(const QByteArray& command, int ms) {
        return waitUntil(
            [&] {
                char buf[256];
                for (ssize_t n; (n = ::read(master_, buf, sizeof buf)) > 0;)
                    got_.append(buf, n);
                const qsizetype at = got_.indexOf(command);
                if (at < 0)
                    return false;
                got_.remove(0, at + command.size());
                return true;
            },
            ms);
    }
    QByteArray rest() const { return got_; }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray got_;
};

quint16 freeLoopbackPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

class RealRigctld : public ::testing::Test {
protected:
    void SetUp() override {
        rigctld_ = QStandardPaths::findExecutable(QStringLiteral("rigctld"));
        rigctl_ = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
        ASSERT_FALSE(rigctld_.isEmpty() || rigctl_.isEmpty())
            << "rigctld and rigctl are needed (Debian package libhamlib-utils)";
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(pty_.slavePath().isEmpty());
        port_ = freeLoopbackPort();
        ASSERT_NE(port_, 0);
    }

    // rigctld with the dummy radio (145 MHz at start), once it accepts connections.
    std::unique_ptr<Child> startRigctld() {
        auto child = std::make_unique<Child>(
            rigctld_,
            QStringList{QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-T"),
                        QStringLiteral("127.0.0.1"), QStringLiteral("-t"), QString::number(port_)},
            QProcessEnvironment::systemEnvironment());
        const bool up = waitUntil(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port_);
                return s.waitForConnected(200);
            },
            5000);
        EXPECT_TRUE(up) << "rigctld did not start on port " << port_;
        return child;
    }

    // Tunes the dummy radio as a user would, with rigctl through rigctld.
    bool tune(qint64 hz) {
        QProcess p;
        p.start(rigctl_, {QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"),
                          QStringLiteral("127.0.0.1:%1").arg(port_), QStringLiteral("F"),
                          QString::number(hz)});
        if (!p.waitForFinished(5000)) {
            p.kill();
            p.waitForFinished(1000);
            return false;
        }
        return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    }

    QString rigctld_, rigctl_;
    QTemporaryDir dir_;
    Pty pty_;
    quint16 port_ = 0;
};

TEST_F(RealRigctld, TunedFrequencyReachesTheControllerAndSurvivesARigctldRestart) {
    auto rigctld = startRigctld();

    Child bridge(QStringLiteral(BRIDGE),
                 {QStringLiteral("--rigctld"), QStringLiteral("127.0.0.1:%1").arg(port_),
                  QStringLiteral("--as"), QStringLiteral("hrd"), QStringLiteral("--verbose")},
                 theBus->environment());
    ASSERT_TRUE(bridge.waitForLine(QStringLiteral("145000000"), 5000))
        << bridge.lines().join('\n').toStdString();

    // Veltaro, configured for HRD on the pty, in a folder of its own for PEGASUS.OUT.
    const QString program = dir_.filePath(QStringLiteral("veltaro"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(VELTARO_BIN), program));
    QDir(dir_.path()).mkpath(QStringLiteral("config/Veltaro"));
    QFile conf(dir_.filePath(QStringLiteral("config/Veltaro/Veltaro.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write(QStringLiteral("[StartUp]\nCheckHRD=1\nComPort=1\n\n[Ports]\nCom1=%1\n")
                   .arg(pty_.slavePath())
                   .toUtf8());
    conf.close();
    auto env = theBus->environment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Child veltaro(program, {}, env);
    ASSERT_TRUE(pty_.waitFor("FA00145000000;", 8000)) << pty_.rest().toStdString();

    ASSERT_TRUE(tune(14074000));
    ASSERT_TRUE(pty_.waitFor("FA00014074000;", 5000)) << pty_.rest().toStdString();

    // rigctld dies and comes back; neither the bridge nor Veltaro is touched.
    rigctld->signal(SIGKILL);
    ASSERT_TRUE(rigctld->process().waitForFinished(5000));
    spin(1500);
    rigctld = startRigctld();
    ASSERT_TRUE(tune(7074000));
    ASSERT_TRUE(pty_.waitFor("FA00007074000;", 8000)) << pty_.rest().toStdString();

    EXPECT_EQ(bridge.process().state(), QProcess::Running);
    EXPECT_EQ(veltaro.process().state(), QProcess::Running);
    const auto frequencyFile = [&] {
        QFile f(dir_.filePath(QStringLiteral("PEGASUS.OUT")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    EXPECT_TRUE(waitUntil([&] { return frequencyFile() == "07.074000\r\n"; }, 3000))
        << frequencyFile().toStdString();
    const QString err = QString::fromUtf8(bridge.process().readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("lost"))) << err.toStdString();
    EXPECT_EQ(err.count(QStringLiteral(": connected")), 2) << err.toStdString();
}

} // namespace
