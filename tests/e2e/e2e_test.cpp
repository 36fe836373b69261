// The whole chain on Linux: veltaro-bridge publishes a radio on a private bus, the real veltaro
// program (offscreen) links to it as configured, and the controller command arrives at a pty.
#include "bus_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <ostream>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace testing_support {
extern PrivateBus* theBus;
}

using namespace testing_support;

namespace {

struct Source {
    const char* as;         // the bridge's --as
    const char* settingKey; // the box ticked in the stored settings
    const char* busName;
    int quietMs; // how long "nothing is sent" is watched
};

void PrintTo(const Source& s, std::ostream* os) {
    *os << s.as;
}

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
    // Everything the program has written so far.
    QByteArray drain() {
        char buf[256];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            got_.append(buf, n);
        return got_;
    }
    QByteArray take() {
        QByteArray all = drain();
        got_.clear();
        return all;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    QString path_;
    QByteArray got_;
};

class EndToEnd : public ::testing::TestWithParam<Source> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(pty_.slavePath().isEmpty());
        const QString program = dir_.filePath(QStringLiteral("veltaro"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(VELTARO_BIN), program));
        QDir(dir_.path()).mkpath(QStringLiteral("config/Veltaro"));
        QFile conf(dir_.filePath(QStringLiteral("config/Veltaro/Veltaro.conf")));
        ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
        conf.write(QStringLiteral("[StartUp]\n%1=1\nComPort=1\n\n[Ports]\nCom1=%2\n")
                       .arg(QString::fromLatin1(GetParam().settingKey), pty_.slavePath())
                       .toUtf8());
        conf.close();

        bridge_ =
            std::make_unique<Child>(QStringLiteral(BRIDGE),
                                    QStringList{QStringLiteral("--stdin"), QStringLiteral("--as"),
                                                QString::fromLatin1(GetParam().as)},
                                    theBus->environment());
        ASSERT_TRUE(waitUntil(
            [&] { return theBus->hasOwner(QString::fromLatin1(GetParam().busName)); }, 5000));
    }

    void startVeltaro() {
        auto env = theBus->environment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        veltaro_ =
            std::make_unique<Child>(dir_.filePath(QStringLiteral("veltaro")), QStringList{}, env);
        ASSERT_EQ(veltaro_->process().state(), QProcess::Running);
    }

    void tune(qint64 hz) { bridge_->send(QString::number(hz)); }

    // Waits for exactly these bytes at the controller's end of the line.
    bool expectCommand(const QByteArray& command) {
        const bool arrived = waitUntil([&] { return pty_.drain().size() >= command.size(); }, 5000);
        spin(50);
        const QByteArray got = pty_.take();
        EXPECT_EQ(got, command);
        return arrived && got == command;
    }

    QByteArray frequencyFile() {
        QFile f(dir_.filePath(QStringLiteral("PEGASUS.OUT")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir_;
    Pty pty_;
    std::unique_ptr<Child> bridge_;
    std::unique_ptr<Child> veltaro_;
};

TEST_P(EndToEnd, TunedFrequencyReachesTheControllerAndTheFile) {
    tune(14074000); // the radio's frequency when the program starts
    startVeltaro();
    ASSERT_TRUE(expectCommand("FA00014074000;"));
    EXPECT_TRUE(waitUntil([&] { return frequencyFile() == "14.074000\r\n"; }, 3000))
        << frequencyFile().toStdString();

    tune(14083000); // 9 kHz away: nothing is sent
    spin(GetParam().quietMs);
    EXPECT_EQ(pty_.take(), QByteArray());
    EXPECT_EQ(frequencyFile(), QByteArray("14.074000\r\n"));

    tune(14084000); // 10 kHz away: relayed
    ASSERT_TRUE(expectCommand("FA00014084000;"));
    EXPECT_TRUE(waitUntil([&] { return frequencyFile() == "14.084000\r\n"; }, 3000))
        << frequencyFile().toStdString();

    tune(7074000);
    EXPECT_TRUE(expectCommand("FA00007074000;"));
    EXPECT_TRUE(waitUntil([&] { return frequencyFile() == "07.074000\r\n"; }, 3000));
    EXPECT_EQ(veltaro_->process().state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Sources, EndToEnd,
                         ::testing::Values(Source{"commander", "CheckCommander",
                                                  "org.veltaro.Link.CI_2dV_20Commander", 400},
                                           Source{"hrd", "CheckHRD",
                                                  "org.veltaro.Link.HRD_5fRADIO_5f000", 400},
                                           Source{"ftlink", "CheckTRX", "org.veltaro.FTLink", 600}),
                         [](const auto& info) { return std::string(info.param.as); });

} // namespace
