// The whole chain with Hamlib's own dummy radio: rigctl -> rigctld -m 1 -> veltaro-bridge
// --rigctld -> veltaro (offscreen) -> the controller's pty, on a private D-Bus daemon.
#include "bus_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

namespace testing_support {
extern PrivateBus* theBus;
}

namespace {

using namespace veltaro::support;

TEST(RealRigctld, TunedFrequencyReachesTheControllerAndSurvivesARigctldRestart) {
    const QString rigctld = QStandardPaths::findExecutable("rigctld");
    const QString rigctl = QStandardPaths::findExecutable("rigctl");
    ASSERT_FALSE(rigctld.isEmpty() || rigctl.isEmpty())
        << "rigctld and rigctl are needed (Debian package libhamlib-utils)";
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort());
    probe.close();
    const QString address = "127.0.0.1:" + port;

    // rigctld with the dummy radio (145 MHz at start), once it accepts connections.
    const auto startRigctld = [&] {
        auto child =
            std::make_unique<Child>(rigctld, QStringList{"-m", "1", "-T", "127.0.0.1", "-t", port});
        EXPECT_TRUE(waitUntil(
            [&] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, port.toUShort());
                return s.waitForConnected(200);
            },
            5000))
            << "rigctld did not start on " << address.toStdString();
        return child;
    };
    // Tunes the dummy radio as a user would.
    const auto tune = [&](const char* hz) {
        return run(rigctl, {"-m", "2", "-r", address, "F", hz},
                   QProcessEnvironment::systemEnvironment(), 5000)
                   .exitCode == 0;
    };

    auto rig = startRigctld();
    const auto bus = testing_support::theBus->environment();
    Child bridge(BRIDGE, {"--rigctld", address, "--as", "hrd", "--verbose"}, bus);
    ASSERT_TRUE(bridge.waitForLine("145000000", 5000)) << bridge.lines().join('\n').toStdString();

    Pty pty;
    Program veltaro(VELTARO_BIN);
    veltaro.config.write("[StartUp]\nCheckHRD=1\nComPort=1\n[Ports]\nCom1=" + pty.path().toUtf8() +
                         "\n");
    veltaro.start(bus);
    ASSERT_TRUE(pty.waitFor("FA00145000000;", 8000)) << pty.unmatched().toStdString();
    ASSERT_TRUE(tune("14074000"));
    ASSERT_TRUE(pty.waitFor("FA00014074000;", 5000)) << pty.unmatched().toStdString();

    // rigctld dies and comes back; neither the bridge nor Veltaro is touched.
    rig->process().kill();
    ASSERT_TRUE(rig->process().waitForFinished(5000));
    spin(1500);
    rig = startRigctld();
    ASSERT_TRUE(tune("7074000"));
    ASSERT_TRUE(pty.waitFor("FA00007074000;", 8000)) << pty.unmatched().toStdString();
    EXPECT_TRUE(waitUntil([&] { return veltaro.frequencyFile() == "07.074000\r\n"; }, 3000));
    EXPECT_TRUE(bridge.running());
    EXPECT_EQ(veltaro.process().state(), QProcess::Running);
    const QString err = QString::fromUtf8(bridge.process().readAllStandardError());
    EXPECT_TRUE(err.contains("lost")) << err.toStdString();
    EXPECT_EQ(err.count(": connected"), 2) << err.toStdString();
}

} // namespace
