// Linking again while a box stays ticked: the back-off, the messages told once, the 10 kHz rule
// across a new link, the link shown on the received-frequency box, and the address dialog.
#include "main_rig.h"
#include "protocols/net_address.h"
#include "sources/trx_manager_source.h"
#include "view/address_dialog.h"

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
    EXPECT_EQ(w.control("trxManagerBox").check(), Check::Ticked) << "the choice stays";
    EXPECT_TRUE(rig.settings.writes.empty()) << "and is not saved";
    w.control("trxManagerBox").click();
    w.control("trxManagerBox").click(); // a new tick is told again
    ASSERT_EQ(rig.dialogs.messages.size(), 2u);
    rig.automation.installed = true; // but not running: a retry that launched it would link
    rig.automation.running = false;
    // Tried at the first poll tick after each back-off: 250 ms, then 500, 1000, 2000, 2000.
    std::vector<std::int64_t> tries;
    for (int seen = rig.automation.connects; rig.clock.now - t0 <= 6000; rig.elapse(50)) {
        ASSERT_TRUE(rig.pollRuns());
        if (rig.automation.connects != seen)
            tries.push_back(rig.clock.now - t0);
        seen = rig.automation.connects;
    }
    EXPECT_EQ(tries, (std::vector<std::int64_t>{300, 800, 1800, 3800, 5800}));
    EXPECT_EQ(std::count(rig.automation.launches.begin() + 2, rig.automation.launches.end(),
                         IAutomationClient::Launch::RunningOnly),
              5);
    EXPECT_EQ(rig.dialogs.messages.size(), 2u) << "and never at a retry";
    EXPECT_EQ(rig.dialogs.messages.back(), TrxManagerSource::UnavailableText);

    rig.automation.running = true; // the user starts it: linked at once, not at the next try
    ASSERT_TRUE(rig.automation.appeared);
    rig.automation.appeared();
    EXPECT_EQ(rig.session().link().state, LinkState::Linked);
    EXPECT_EQ(w.control("receivedLabel").toolTip(), "TRX-Manager: linked");

    // The link resets the back-off: a later loss is tried again at the tick after 250 ms, not 2 s.
    rig.automation.gone = true;
    rig.elapse(RelaySession::PollIntervalMs);
    EXPECT_EQ(w.control("receivedLabel").toolTip(),
              "TRX-Manager: not linked (server gone), trying again");
    rig.automation.gone = false;
    const int before = rig.automation.connects;
    rig.elapse(200);
    EXPECT_EQ(rig.automation.connects, before);
    rig.elapse(100);
    EXPECT_EQ(rig.automation.connects, before + 1);
    EXPECT_EQ(rig.session().link().state, LinkState::Linked);
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
    ASSERT_EQ(rig.session().tracker().relayedKHz(), 7074);

    // HRD moved 6 kHz while it was away: nothing new to relay on the new link.
    rig.link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7080000";
    rig.link.lost();
    shows(false, "HRD: not linked (the program ended the link), trying again");
    const int setups = rig.link.setups;
    rig.elapse(200); // the poll ticks at 100 and 200 ms: the back-off of 250 ms runs
    EXPECT_EQ(rig.link.setups, setups);
    rig.elapse(100);
    EXPECT_EQ(rig.link.setups, setups + 1);
    shows(true, "HRD: linked");
    EXPECT_EQ(rig.session().tracker().relayedKHz(), 7074);
    rig.link.advise("7084000");
    EXPECT_EQ(rig.session().tracker().relayedKHz(), 7084);

    rig.link.lost(); // a restart of the program: linked again as soon as it is there
    rig.link.appeared();
    shows(true, "HRD: linked");

    w.control("hamlibBox").click();
    shows(false, "Hamlib at 127.0.0.1:4532: linking");
    rig.network.link->end("connection refused");
    shows(false, "Hamlib at 127.0.0.1:4532: not linked (connection refused), trying again");
    rig.elapse(300);            // the tick after the first back-off
    rig.network.link->accept(); // rigctld answers, but the radio is off
    rig.network.link->reply("RPRT -5\n");
    rig.network.link->reply("RPRT -5\n");
    shows(false, "Hamlib at 127.0.0.1:4532: not linked (the rig answered an error (RPRT -5)), "
                 "trying again");
    rig.elapse(SourceSelector::LongestRetryMs);
    EXPECT_EQ(rig.network.link->connects, 2) << "asked again on the same connection";
    EXPECT_EQ(rig.network.link->sent.back(), "s\n");
    w.control("hamlibBox").click();
    shows(true, "");
}

// A port that another program listens on is told once, with what to do, and tried again
// quietly; an address of another machine is told once and not tried again until the box is
// ticked again.
TEST(Reconnect, ATakenPortIsTriedAgainQuietlyAnotherMachinesAddressIsNot) {
    MainRig rig;
    rig.network.portTaken = true;
    auto& w = rig.load();
    w.control("n1mmBox").click();
    EXPECT_EQ(w.control("receivedLabel").toolTip(),
              "N1MM UDP at 127.0.0.1:12060: not linked (port 12060 is taken by another program), "
              "trying again");
    rig.elapse(4000);
    EXPECT_EQ(rig.network.socket->listens, 5) << "tried again after 250, 750, 1750, 3750 ms";
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages,
              std::vector<std::string>{
                  "N1MM UDP cannot listen on 127.0.0.1:12060: another program already listens on "
                  "port 12060. Have the logger also send its RadioInfo to a second port (N1MM "
                  "Logger+ takes several destinations) and give Veltaro that port: right-click "
                  "the N1MM UDP box."});
    rig.network.socket->taken = false; // the other program lets go
    rig.elapse(2000);
    EXPECT_TRUE(rig.network.socket->open);

    rig.dialogs.messages.clear();
    rig.settings.values["Veltaro/Addresses/N1MM"] = "192.0.2.1:12060";
    w.control("n1mmBox").click();
    w.control("n1mmBox").click();
    const int listens = rig.network.socket->listens;
    rig.elapse(4000);
    EXPECT_EQ(rig.network.socket->listens, listens) << "not tried again";
    EXPECT_FALSE(rig.pollRuns());
    EXPECT_EQ(w.control("receivedLabel").toolTip(),
              "N1MM UDP at 192.0.2.1:12060: not linked (192.0.2.1 is not an address of this "
              "computer)");
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages,
              std::vector<std::string>{"N1MM UDP cannot listen on 192.0.2.1:12060: 192.0.2.1 is "
                                       "not an address of this computer. Give an address of this "
                                       "computer (127.0.0.1 when the logger runs here): "
                                       "right-click the N1MM UDP box."});
    w.control("n1mmBox").click();
    w.control("n1mmBox").click(); // ticked again: tried again
    EXPECT_EQ(rig.network.socket->listens, listens + 1);
}

TEST(AddressDialog, StoresAGoodAddressAndRefusesABadOne) {
    // The box, typed, pressed, stored (nullptr: nothing), refused with a message (nullptr: not
    // refused; "": any message). A server may be on another machine, a listener may not.
    using Case = std::tuple<const char*, const char*, Command, const char*, const char*>;
    const char* notHere = "The address \"192.0.2.7:12060\" cannot be used: 192.0.2.7 is not an "
                          "address of this computer.\nGive an address of this computer (127.0.0.1 "
                          "when the logger runs here).";
    for (const auto& [box, typed, press, stored, refused] :
         {Case{"hamlibBox", "10.0.0.2:4533", Command::Ok, "10.0.0.2:4533", nullptr},
          Case{"hamlibBox", " 4600 ", Command::Ok, "127.0.0.1:4600", nullptr},
          Case{"hamlibBox", "", Command::Ok, nullptr, ""},
          Case{"hamlibBox", "10.0.0.2:4533", Command::Cancel, nullptr, nullptr},
          Case{"hamlibBox", "192.0.2.7:4532", Command::Ok, "192.0.2.7:4532", nullptr},
          Case{"n1mmBox", "192.0.2.7:12060", Command::Ok, nullptr, notHere},
          Case{"n1mmBox", "12061", Command::Ok, "127.0.0.1:12061", nullptr}}) {
        MainRig rig;
        auto& w = rig.load();
        w.control(box).click();
        std::string opened;
        rig.host.inAddressDialog = [&](AddressDialogModel& d) {
            opened = d.title() + " " + d.control("addressText").text();
            d.control("addressText").edit(typed);
            d.run(press);
            EXPECT_EQ(d.finished(), !refused) << typed;
            d.run(Command::Cancel); // a refused address leaves the dialog open
        };
        w.control(box).contextMenu();
        const std::string source = box == std::string("n1mmBox") ? "N1MM" : "Hamlib";
        EXPECT_EQ(opened, source == "Hamlib" ? "Hamlib address 127.0.0.1:4532"
                                             : "N1MM UDP address 127.0.0.1:12060");
        EXPECT_EQ(rig.dialogs.messages.size(), refused ? 1u : 0u) << typed;
        if (refused && *refused && !rig.dialogs.messages.empty()) {
            EXPECT_EQ(rig.dialogs.messages[0], refused);
        }
        const auto it = rig.settings.values.find("Veltaro/Addresses/" + source);
        ASSERT_EQ(it != rig.settings.values.end(), stored != nullptr) << typed;
        if (stored) {
            EXPECT_EQ(it->second, stored);
        }
        if (stored && source == "Hamlib") {
            EXPECT_EQ(formatNetAddress(rig.network.link->to), stored) << "linked again";
        }
    }
}
