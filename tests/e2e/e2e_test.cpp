// The whole chain on Linux: veltaro-bridge publishes a radio on a private bus, the real veltaro
// program (offscreen) links to it as configured, and the controller command arrives at a pty.
#include "bus_fixture.h"

#include <QtNetwork>

namespace {

using namespace veltaro::support;
using namespace testing_support;

// The bridge in front of a radio, the real program reading it, and the controller's pty.
struct Chain {
    explicit Chain(const QStringList& bridgeArgs)
        : bridge(BRIDGE, bridgeArgs, theBus().environment()) {}
    Pty pty;
    Program veltaro{VELTARO_BIN};
    Child bridge;

    // Starts the program with the source's box ticked and the pty as COM1.
    void startVeltaro(const QString& settingKey) {
        veltaro.write(QString("[StartUp]\n%1=1\nComPort=1\n[Ports]\nCom1=%2\n")
                          .arg(settingKey, pty.path())
                          .toUtf8());
        veltaro.start(theBus().environment());
    }
    // Exactly these bytes reach the controller, and the file follows.
    void expectRelayed(const QByteArray& command, const QByteArray& file) {
        EXPECT_EQ(pty.readAtLeast(command.size(), 5000), command);
        EXPECT_TRUE(waitUntil([&] { return veltaro.frequencyFile() == file; }, 3000))
            << veltaro.frequencyFile().toStdString();
    }
};

// Each hot link and the automation link, fed from the bridge's standard input: junk and blank
// lines are passed over, a line may come in pieces, and the last one needs no line end. Which
// changes are relayed is the core's rule, tested there.
TEST(EndToEnd, TunedFrequencyReachesTheControllerAndTheFile) {
    for (const auto& [as, settingKey, busName] :
         {std::tuple{"commander", "CheckCommander", "org.veltaro.Link.CI_2dV_20Commander"},
          {"hrd", "CheckHRD", "org.veltaro.Link.HRD_5fRADIO_5f000"},
          {"ftlink", "CheckTRX", "org.veltaro.FTLink"}}) {
        SCOPED_TRACE(as);
        Chain c({"--stdin", "--as", as});
        ASSERT_TRUE(waitUntil([&] { return theBus().hasOwner(busName); }, 5000));
        c.bridge.send("abc\n-5\n\n 14074000\r"); // the frequency when the program starts
        c.startVeltaro(settingKey);
        c.expectRelayed("FA00014074000;", "14.074000\r\n");
        c.bridge.process().write("70");
        spin(50);
        c.bridge.send("74000");
        c.expectRelayed("FA00007074000;", "07.074000\r\n");
        c.bridge.process().write("21074000");
        c.bridge.process().closeWriteChannel();
        c.expectRelayed("FA00021074000;", "21.074000\r\n");
        EXPECT_EQ(c.pty.readAtLeast(1, 50), "");
    }
}

// Hamlib's own dummy radio: rigctl -> rigctld -m 1 -> veltaro-bridge --rigctld -> veltaro. That
// the bridge reconnects to a rigctld that went away is RigctldSource's (tests/bridge).
TEST(EndToEnd, RealRigctldReachesTheControllerAndAHungRigctldHoldsNothingUp) {
    const QString rigctld = QStandardPaths::findExecutable("rigctld");
    const QString rigctl = QStandardPaths::findExecutable("rigctl");
    ASSERT_FALSE(rigctld.isEmpty() || rigctl.isEmpty())
        << "rigctld and rigctl are needed (Debian package libhamlib-utils)";
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    const QString port = QString::number(probe.serverPort()), address = "127.0.0.1:" + port;
    probe.close();
    // rigctld with the dummy radio (145 MHz at start); the bridge waits for it.
    Child rig(rigctld, {"-m", "1", "-T", "127.0.0.1", "-t", port});
    Chain c({"--rigctld", address, "--as", "hrd", "--verbose"});
    ASSERT_TRUE(c.bridge.waitForLine("145000000", 5000));
    c.startVeltaro("CheckHRD");
    EXPECT_EQ(c.pty.readAtLeast(14, 8000), "FA00145000000;");
    // Tuned as a user would.
    ASSERT_EQ(run(rigctl, {"-m", "2", "-r", address, "F", "14074000"}).exitCode, 0);
    EXPECT_EQ(c.pty.readAtLeast(14, 5000), "FA00014074000;");

    // rigctld hangs: the bridge keeps answering from the last value.
    sendSignal(rig, SIGSTOP);
    QDBusInterface hrd("org.veltaro.Link.HRD_5fRADIO_5f000", "/HRD_5fCAT", "org.veltaro.Link",
                       theBus().connection());
    hrd.setTimeout(500);
    for (int i = 0; i < 5; ++i, spin(100)) {
        const QDBusReply<QString> r = hrd.call("Request", QString("HRD_HERTZ"));
        EXPECT_EQ(r.isValid() ? r.value() : r.error().message(), "14074000");
    }
    EXPECT_EQ(c.veltaro.process().state(), QProcess::Running);
}

} // namespace
