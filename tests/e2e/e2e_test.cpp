// The whole chain on Linux: veltaro-bridge publishes a radio on a private bus, the real veltaro
// program (offscreen) links to it as configured, and the controller command arrives at a pty.
#include "bus_fixture.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <ostream>

namespace testing_support {
extern PrivateBus* theBus;
}

namespace {

using namespace veltaro::support;

struct Source {
    const char* as;         // the bridge's --as
    const char* settingKey; // the box ticked in the stored settings
    const char* busName;
    int quietMs; // how long "nothing is sent" is watched
};

void PrintTo(const Source& s, std::ostream* os) {
    *os << s.as;
}

class EndToEnd : public ::testing::TestWithParam<Source> {
protected:
    Pty pty;
    Program veltaro{VELTARO_BIN};
    std::unique_ptr<Child> bridge;

    void tune(qint64 hz) { bridge->send(QString::number(hz)); }
    // Exactly these bytes reach the controller, and the file follows.
    void expectRelayed(const QByteArray& command, const QByteArray& file) {
        EXPECT_EQ(pty.readAtLeast(command.size(), 5000), command);
        EXPECT_TRUE(waitUntil([&] { return veltaro.frequencyFile() == file; }, 3000))
            << veltaro.frequencyFile().toStdString();
    }
};

TEST_P(EndToEnd, TunedFrequencyReachesTheControllerAndTheFile) {
    const auto bus = testing_support::theBus;
    bridge = std::make_unique<Child>(BRIDGE, QStringList{"--stdin", "--as", GetParam().as},
                                     bus->environment());
    ASSERT_TRUE(waitUntil([&] { return bus->hasOwner(GetParam().busName); }, 5000));
    veltaro.config.write(QString("[StartUp]\n%1=1\nComPort=1\n[Ports]\nCom1=%2\n")
                             .arg(GetParam().settingKey, pty.path())
                             .toUtf8());
    tune(14074000); // the radio's frequency when the program starts
    veltaro.start(bus->environment());
    expectRelayed("FA00014074000;", "14.074000\r\n");

    tune(14083000); // 9 kHz away: nothing is sent
    EXPECT_EQ(pty.readAtLeast(1, GetParam().quietMs), QByteArray());
    EXPECT_EQ(veltaro.frequencyFile(), QByteArray("14.074000\r\n"));

    tune(14084000); // 10 kHz away: relayed
    expectRelayed("FA00014084000;", "14.084000\r\n");
    tune(7074000);
    expectRelayed("FA00007074000;", "07.074000\r\n");
    EXPECT_EQ(pty.readAtLeast(1, 50), QByteArray());
    EXPECT_EQ(veltaro.process().state(), QProcess::Running);
}

INSTANTIATE_TEST_SUITE_P(Sources, EndToEnd,
                         ::testing::Values(Source{"commander", "CheckCommander",
                                                  "org.veltaro.Link.CI_2dV_20Commander", 400},
                                           Source{"hrd", "CheckHRD",
                                                  "org.veltaro.Link.HRD_5fRADIO_5f000", 400},
                                           Source{"ftlink", "CheckTRX", "org.veltaro.FTLink", 600}),
                         [](const auto& info) { return std::string(info.param.as); });

} // namespace
