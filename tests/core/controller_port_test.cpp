// The controller's port over a serial server: connecting without waiting, a back-off from 250 ms
// doubling to 2 s while it is away, its loss told once, the command sent again on its return,
// and the controller's bytes handed on.
#include "fakes.h"
#include "net_fakes.h"
#include "relay/controller_link.h"

#include <gtest/gtest.h>

using namespace veltaro;
namespace t = veltaro::test;

namespace {

struct ServerRig {
    ServerRig() { timers.clock = &clock.now; }
    ControllerLink& make() {
        link = std::make_unique<ControllerLink>(
            serial, ControllerLink::ServerParts{network, settings, timers, clock},
            [this](const Notice& n) { notices.push_back(n.text); });
        return *link;
    }
    void enter(int n, const std::string& entry) {
        settings.values["Veltaro/Ports/Com" + std::to_string(n)] = entry;
    }
    t::FakeStreamLink& server() const { return *network.link; }

    fake::SerialLine serial;
    t::FakeNetwork network;
    fake::SettingsStore settings;
    fake::Timers timers;
    t::FakeClock clock;
    std::vector<std::string> notices;
    std::unique_ptr<ControllerLink> link;
};

constexpr const char* GoneAway =
    "127.0.0.1:4001: the serial server has gone away. Veltaro will connect again when it is back.";

} // namespace

// A server that never answers is tried at 250, 500, 1000, 2000, 2000 ms, told once; a command
// given meanwhile goes once it answers. A server that goes away after a steady connection is told
// again, tried from 250 ms again, and gets the newest command on its return.
TEST(ServerPort, BackOffCappedAt2sToldOnceAndTheCommandSentAgainOnReturn) {
    ServerRig rig;
    rig.enter(17, "tcp:127.0.0.1:4001");
    ControllerLink& link = rig.make();
    link.openAtStartup(17, "17");
    ASSERT_TRUE(rig.network.link);
    EXPECT_EQ(rig.server().to.port, 4001);
    EXPECT_TRUE(link.connecting());
    EXPECT_EQ(link.sendFrequency(14074).why, "127.0.0.1:4001 is being connected to");

    const auto retriesAfter = [&](std::initializer_list<int> delays) {
        for (int delay : delays) {
            const int connects = rig.server().connects;
            rig.server().end("connection refused");
            rig.timers.elapse(delay - 1);
            EXPECT_EQ(rig.server().connects, connects) << delay;
            rig.timers.elapse(1);
            EXPECT_EQ(rig.server().connects, connects + 1) << delay;
        }
    };
    retriesAfter({250, 500, 1000, 2000, 2000});
    EXPECT_EQ(rig.notices, (std::vector<std::string>{
                               "127.0.0.1:4001: the serial server does not answer (connection "
                               "refused). Veltaro will keep trying to connect."}));
    EXPECT_TRUE(link.waitingForDevice());
    EXPECT_FALSE(link.needsReopenTicks()); // it retries on its own back-off, not the device tick
    rig.server().accept();
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(rig.server().sent, std::vector<std::string>{"FA00014074000;"});

    rig.timers.elapse(5000);
    rig.notices.clear();
    rig.server().end();
    rig.server().h.closed("late"); // a second report of the same end changes nothing
    EXPECT_EQ(link.sendFrequency(21074).why, "127.0.0.1:4001 has gone away");
    rig.timers.elapse(250);
    EXPECT_EQ(rig.server().connects, 7);
    retriesAfter({500});
    rig.server().accept();
    EXPECT_EQ(rig.notices, std::vector<std::string>{GoneAway});
    EXPECT_EQ(rig.server().sent, (std::vector<std::string>{"FA00014074000;", "FA00021074000;"}));

    // A server that accepts and drops at once is not told about again, and the back-off goes on.
    retriesAfter({1000, 2000});
    rig.server().accept();
    retriesAfter({2000});
    EXPECT_EQ(rig.notices.size(), 1u);

    link.close();
    rig.timers.elapse(10000);
    EXPECT_EQ(rig.server().connects, 11);
}

// What the controller sends reaches the handler from a device and from a serial server alike;
// without a handler it is dropped. Picking a device lets go of the server.
TEST(ServerPort, ControllerBytesGoToTheHandlerAndAPickLetsGoOfTheServer) {
    ServerRig rig;
    rig.enter(20, "tcp:127.0.0.1:4001");
    ControllerLink& link = rig.make();
    link.openAtStartup(20, "20");
    rig.server().accept();
    rig.server().reply("dropped");
    std::string got;
    link.setReceiveHandler([&](std::string_view bytes) { got += bytes; });
    rig.server().reply(std::string("\x40\x41\xff\r", 4));
    EXPECT_EQ(got, std::string("\x40\x41\xff\r", 4));

    EXPECT_TRUE(link.onPortPicked("Com 1 "));
    EXPECT_FALSE(rig.server().open);
    EXPECT_EQ(rig.serial.baud, ControllerLink::FaBaud);
    rig.serial.receive("AB");
    EXPECT_EQ(got.substr(4), "AB");
    rig.server().end(); // a late report of the server's end changes nothing
    EXPECT_TRUE(link.isOpen());
    EXPECT_TRUE(rig.notices.empty());
}

// The list shows the serial servers by their address after the devices and ends with "Network
// controller..."; an address the user names keeps its entry's number, else gets the first free
// from 17, is stored as tcp:HOST:PORT and connected to.
TEST(ServerPort, ListItemsAndTheNumberAnAddressIsStoredUnder) {
    ServerRig rig;
    const PresentPort device{"/dev/ttyUSB0 (FT232R)", 0, "/dev/ttyUSB0"};
    rig.serial.present = {device};
    rig.serial.remembered = {{17, device.device}};
    rig.enter(5, " TCP:127.0.0.1:4001");
    rig.enter(20, "tcp:[::1]:4002");
    rig.enter(21, "/dev/ttyS3");
    ControllerLink& link = rig.make();
    auto items = link.refreshPortItems();
    ASSERT_EQ(items.size(), 20u);
    EXPECT_EQ(std::vector<std::string>(items.begin() + 16, items.end()),
              (std::vector<std::string>{device.item, "127.0.0.1:4001 (network)",
                                        "[::1]:4002 (network)", "Network controller..."}));
    EXPECT_FALSE(link.onPortPicked("Network controller..."));
    EXPECT_FALSE(rig.network.link);

    const std::tuple<NetAddress, int, std::string> cases[] = {
        {{"127.0.0.1", 4003}, 18, "tcp:127.0.0.1:4003"},
        {{"127.0.0.1", 4003}, 18, "tcp:127.0.0.1:4003"},
        {{"::1", 4002}, 20, "tcp:[::1]:4002"},
        {{"LocalHost", 4004}, 19, "tcp:LocalHost:4004"},
        {{"localhost", 4004}, 19, "tcp:localhost:4004"},
        {{"127.0.0.1", 4001}, 5, "tcp:127.0.0.1:4001"},
    };
    for (const auto& [address, number, entry] : cases) {
        EXPECT_TRUE(link.openNetworkController(address)) << entry;
        EXPECT_EQ(link.portNumber(), number) << entry;
        EXPECT_EQ(rig.settings.values["Veltaro/Ports/Com" + std::to_string(number)], entry);
        EXPECT_EQ(rig.server().to.host, address.host) << entry;
        EXPECT_TRUE(link.connecting()) << entry;
    }
    EXPECT_EQ(link.itemFor(18, "18"), "127.0.0.1:4003 (network)");
    EXPECT_TRUE(link.onPortPicked("127.0.0.1:4001 (network)"));
    EXPECT_EQ(link.portNumber(), 5);
    EXPECT_EQ(rig.server().to.port, 4001);
    EXPECT_EQ(rig.serial.remembered.size(), 1u);

    fake::SerialLine serial;
    ControllerLink devicesOnly(serial, [](const Notice&) {});
    EXPECT_EQ(devicesOnly.refreshPortItems().size(), 16u);
}
