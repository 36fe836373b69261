// The whole chain on Linux: veltaro-link-publisher publishes a radio on a private bus, the real
// veltaro program (offscreen) links to it as configured, and the controller command arrives at a
// pty.
#include "bus_fixture.h"

namespace {

using namespace veltaro::support;
using namespace testing_support;

// The link publisher standing in for a program, the real program reading it, and the
// controller's pty.
struct Chain {
    explicit Chain(const QStringList& publisherArgs)
        : publisher(PUBLISHER, publisherArgs, theBus().environment()) {}
    Pty pty;
    Program veltaro{VELTARO_BIN};
    Child publisher;

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

// Each hot link and the automation link, fed from the publisher's standard input: junk and blank
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
        c.publisher.send("abc\n-5\n\n 14074000\r"); // the frequency when the program starts
        c.startVeltaro(settingKey);
        c.expectRelayed("FA00014074000;", "14.074000\r\n");
        c.publisher.process().write("70");
        spin(50);
        c.publisher.send("74000");
        c.expectRelayed("FA00007074000;", "07.074000\r\n");
        c.publisher.process().write("21074000");
        c.publisher.process().closeWriteChannel();
        c.expectRelayed("FA00021074000;", "21.074000\r\n");
        EXPECT_EQ(c.pty.readAtLeast(1, 50), "");
    }
}

} // namespace
