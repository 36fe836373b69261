// Linking again while a box stays ticked: the back-off, the messages told once, the 10 kHz rule
// across a new link, the link shown on the received-frequency box, and the address dialog.
#include "main_rig.h"
#include "shell/address_dialog.h"
#include "sources/net_address.h"
#include "sources/trx_manager_source.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace veltaro;
using layout::Command;
using veltaro::test::MainRig;

TEST(Reconnect, RetriesBackOffTo2sNeverLaunchAndTellOncePerTick) {
    MainRig rig;
    rig.automation.installed = false;
    auto& w = rig.load();
    const auto t0 = rig.clock.now;
    rig.settings.writes.clear();
    w.control("trxManagerBox").click();
    EXPECT_EQ(w.control("trxManagerBox").value(), 1) << "the choice stays";
    EXPECT_TRUE(rig.settings.writes.empty()) << "and is not saved";
    w.control("trxManagerBox").click();
    w.control("trxManagerBox").click(); // a new tick is told again
    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    rig.automation.installed = true; // but not running: a retry that launched it would link
    rig.automation.running = false;
    std::vector<std::int64_t> tries;
    for (int seen = rig.automation.connects; rig.clock.now - t0 <= 6000; rig.clock.now += 50) {
        ASSERT_TRUE(w.pollNeeded());
        w.poll();
        if (rig.automation.connects != seen)
            tries.push_back(rig.clock.now - t0);
        seen = rig.automation.connects;
    }
    EXPECT_EQ(tries, (std::vector<std::int64_t>{250, 750, 1750, 3750, 5750}));
    EXPECT_EQ(std::count(rig.automation.launches.begin() + 2, rig.automation.launches.end(),
                         IAutomationClient::Launch::RunningOnly),
              5);
    EXPECT_EQ(rig.dialogs.messages.size(), 2u) << "and never at a retry";
    EXPECT_EQ(rig.dialogs.messages.back(), TrxManagerSource::UnavailableText);

    rig.automation.running = true; // the user starts it: linked at once, not at the next try
    ASSERT_TRUE(rig.automation.appeared);
    rig.automation.appeared();
    EXPECT_TRUE(w.selector().linked());
    EXPECT_EQ(w.control("receivedLabel").toolTip(), "TRX-Manager: linked");
}

TEST(Reconnect, TheBoxShowsTheLinkAndTheRuleHoldsAcrossANewLink) {
    MainRig rig;
    auto& w = rig.load();
    const Control& label = w.control("receivedLabel");
    auto shows = [&](bool enabled, const std::string& tip) {
        EXPECT_EQ(label.enabled(), enabled) << tip;
        EXPECT_EQ(label.toolTip(), tip);
    };
    shows(true, "");
    w.control("hrdBox").click();
    shows(true, "HRD: linked");
    ASSERT_EQ(w.tracker().relayedKHz(), 7074);

    // HRD moved 6 kHz while it was away: nothing new to relay on the new link.
    rig.link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7080000";
    rig.link.lost();
    shows(false, "HRD: not linked, trying again");
    const int setups = rig.link.setups;
    rig.clock.now += 249;
    w.poll();
    EXPECT_EQ(rig.link.setups, setups);
    rig.clock.now += 1;
    w.poll();
    EXPECT_EQ(rig.link.setups, setups + 1);
    shows(true, "HRD: linked");
    EXPECT_EQ(w.tracker().relayedKHz(), 7074);
    rig.link.advise("7084000");
    EXPECT_EQ(w.tracker().relayedKHz(), 7084);

    rig.link.lost(); // a restart of the program: linked again as soon as it is there
    rig.link.appeared();
    shows(true, "HRD: linked");

    w.control("hamlibBox").click();
    shows(false, "Hamlib at 127.0.0.1:4532: linking");
    w.control("hamlibBox").click();
    shows(true, "");
}

TEST(AddressDialog, StoresAGoodAddressAndRefusesABadOne) {
    // Typed, pressed, stored (nullptr: nothing), refused with a message.
    using Case = std::tuple<const char*, Command, const char*, bool>;
    for (const auto& [typed, press, stored, refused] :
         {Case{"10.0.0.2:4533", Command::Ok, "10.0.0.2:4533", false},
          Case{" 4600 ", Command::Ok, "127.0.0.1:4600", false},
          Case{"localhost:70000", Command::Ok, nullptr, true}, Case{"", Command::Ok, nullptr, true},
          Case{"10.0.0.2:4533", Command::Cancel, nullptr, false}}) {
        MainRig rig;
        auto& w = rig.load();
        w.control("hamlibBox").click();
        std::string opened;
        rig.host.inAddressDialog = [&](AddressDialog& d) {
            opened = d.title() + " " + d.control("addressText").text();
            d.control("addressText").edit(typed);
            d.run(press);
            EXPECT_EQ(d.finished(), !refused) << typed;
            d.run(Command::Cancel); // a refused address leaves the dialog open
        };
        w.control("hamlibBox").contextMenu();
        EXPECT_EQ(opened, "Hamlib address 127.0.0.1:4532");
        EXPECT_EQ(rig.dialogs.messages.size(), refused ? 1u : 0u) << typed;
        const auto it = rig.settings.values.find("Veltaro/Addresses/Hamlib");
        ASSERT_EQ(it != rig.settings.values.end(), stored != nullptr) << typed;
        if (stored) {
            EXPECT_EQ(it->second, stored);
            EXPECT_EQ(formatNetAddress(rig.network.link->to), stored) << "linked again";
        }
    }
}
