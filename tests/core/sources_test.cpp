// The choice of source: exclusion, saving, failures, the readings of each source, polling.
#include "main_rig.h"
#include "sources/trx_manager_source.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::MainRig;

TEST(Sources, TickingOneClearsTheOthersAndSavesAfterThem) {
    MainRig rig;
    auto& w = rig.load();
    w.control("trxManagerBox").click();
    ASSERT_TRUE(rig.pollRuns());
    rig.journal.entries.clear();
    w.control("hrdBox").click();
    EXPECT_EQ(w.control("trxManagerBox").check(), Check::Clear);
    EXPECT_FALSE(rig.pollRuns());
    EXPECT_EQ(rig.session().tracker().relayedKHz(), 7074);
    // The cleared box saves first (HRD already ticked), then the HRD box once its link is up.
    std::vector<std::string> order;
    for (const auto& e : rig.journal.entries)
        if (e == "write CheckHRD=1" || e == "link HRD_RADIO_000|HRD_CAT")
            order.push_back(e);
    EXPECT_EQ(order, (std::vector<std::string>{"write CheckHRD=1", "link HRD_RADIO_000|HRD_CAT",
                                               "write CheckHRD=1"}));
    EXPECT_EQ(rig.settings.get("CheckTRX"), "0");
}

// A program that does not answer keeps its box ticked (the choice survives for the next start)
// and saves nothing; only TRX-Manager's absence is told. The box shows why, and the program is
// linked as soon as it is there.
TEST(Sources, CommanderOrHrdNotAnsweringKeepsItsBoxAndShowsWhy) {
    for (const auto& [box, server, caption, khz] :
         {std::tuple{"commanderBox", "CI-V Commander|DDEServer", "Commander", 14074},
          std::tuple{"hrdBox", "HRD_RADIO_000|HRD_CAT", "HRD", 7074}}) {
        MainRig rig;
        const auto items = rig.link.servers[server];
        rig.link.servers.erase(server);
        auto& w = rig.load();
        rig.settings.writes.clear();
        w.control(box).click();
        EXPECT_EQ(w.control(box).check(), Check::Ticked) << box;
        EXPECT_EQ(rig.settings.writes, std::vector<std::string>{}) << box;
        EXPECT_TRUE(rig.dialogs.messages.empty() && rig.dialogs.posted.empty()) << box;
        EXPECT_EQ(w.control("receivedLabel").toolTip(),
                  std::string(caption) + ": not linked (No server answers), trying again");
        rig.link.servers[server] = items;
        ASSERT_TRUE(rig.link.appeared) << box;
        rig.link.appeared();
        EXPECT_EQ(rig.session().link().state, LinkState::Linked) << box;
        EXPECT_EQ(rig.session().tracker().relayedKHz(), khz) << box;
    }
}

// The box, what its link delivers, what the received label shows ("1": the reading did not reach
// the tracker).
TEST(Sources, EachHotLinkReadsItsOwnUnit) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"commanderBox", "21074", "21074"}, {"commanderBox", "", "0"},
        {"commanderBox", "abc", "1"},       {"hrdBox", "21074000", "21074"},
        {"hrdBox", "7000000 Hz", "7000"},   {"hrdBox", "", "0"},
        {"hrdBox", "garbage", "0"},         {"hrdBox", "1e400", "1"},
    };
    for (const auto& [box, delivered, shown] : cases) {
        MainRig rig;
        rig.link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "1";
        rig.link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "1000";
        auto& w = rig.load();
        w.control(box).click();
        rig.link.advise(delivered);
        EXPECT_EQ(w.control("receivedLabel").text(), shown) << box << " " << delivered;
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}

TEST(Sources, OnlyTheTickedSourceDrivesTheAntenna) {
    MainRig rig;
    auto& w = rig.load();
    w.control("commanderBox").click();
    w.control("commanderBox").click(); // cleared: the link stays, its values are dropped
    EXPECT_EQ(rig.settings.get("CheckCommander"), "0");
    EXPECT_FALSE(rig.link.linked.empty());
    const auto sent = rig.serial.sent.size();
    rig.link.advise("21074");
    EXPECT_EQ(rig.serial.sent.size(), sent);

    w.control("trxManagerBox").click();
    rig.link.advise("28074"); // a value of the old link while TRX-Manager is ticked
    EXPECT_EQ(rig.serial.sent.size(), sent);
    EXPECT_TRUE(rig.pollRuns()) << "a dropped value does not stop the poll";

    rig.noHrdServer();
    w.control("hrdBox").click(); // clears TRX-Manager, then fails
    rig.elapse(RelaySession::PollIntervalMs);
    EXPECT_EQ(rig.serial.sent.size(), sent);
    EXPECT_EQ(rig.automation.connects, 1) << "TRX-Manager is no longer tried";
}

TEST(Sources, TrxManagerIsPolledWhileTicked) {
    MainRig rig;
    auto& w = rig.load();
    EXPECT_FALSE(rig.pollRuns()); // nothing ticked: nothing read
    w.control("trxManagerBox").click();
    EXPECT_EQ(rig.settings.get("CheckTRX"), "1");
    rig.automation.frequency = 7.0;
    rig.elapse(RelaySession::PollIntervalMs);
    EXPECT_EQ(rig.serial.sent.back(), "FA00007000000;");
    rig.automation.gone = true; // a read that finds the server gone loses the link, quietly
    rig.elapse(RelaySession::PollIntervalMs);
    EXPECT_EQ(rig.serial.sent.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messages.empty() && rig.dialogs.posted.empty());
    EXPECT_EQ(rig.session().link().state, LinkState::Lost);

    rig.automation.gone = false; // restarted: linked again at the retry
    rig.automation.frequency = 21.074;
    rig.elapse(500);
    EXPECT_EQ(rig.serial.sent.back(), "FA00021074000;");
}

TEST(Sources, OutputFailuresAreToldOncePerCause) {
    MainRig rig;
    auto& w = rig.load();
    w.control("commanderBox").click();
    rig.files.failure = "PEGASUS.OUT: Permission denied";
    rig.link.advise("21074");
    rig.link.advise("28074");
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"PEGASUS.OUT: Permission denied"});
    EXPECT_EQ(w.control("relayedLabel").text(), "28074");
    EXPECT_EQ(rig.serial.sent.back(), "FA00028074000;");

    rig.files.failure.clear();
    rig.link.advise("50074");
    EXPECT_EQ(rig.pegasus(), "50.074000\r\n");
    rig.files.failure = "PEGASUS.OUT: Permission denied";
    rig.link.advise("14074");
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages.size(), 2u) << "a new fault after recovery is told again";
}
