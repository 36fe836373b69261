#include "main_rig.h"

#include <gtest/gtest.h>

using namespace veltaro;
using veltaro::test::MainRig;

TEST(DdeSources, TickingHrdOverTrxSavesTwiceAndStopsPolling) {
    MainRig rig;
    auto& f = rig.load();
    f.CheckTRX.click();
    ASSERT_TRUE(f.tickNeeded());
    rig.settings.writes.clear();
    f.CheckHRD.click();
    EXPECT_EQ(f.CheckTRX.value(), 0);
    EXPECT_FALSE(f.Timer1.enabled());
    EXPECT_EQ(f.tracker().HrdFreq, "7.074");
    EXPECT_EQ(f.tracker().LastSentKHz, 7074);
    // The cleared TRX box saved first (with HRD already ticked), then the HRD handling.
    EXPECT_EQ(rig.savesOf("CheckHRD"), 2);
    EXPECT_EQ(rig.settings.writes[5], "CheckHRD=1");
    EXPECT_EQ(rig.settings.writes[4], "CheckTRX=0");
}

TEST(DdeSources, NoServerLeavesTheBoxTickedWithNoSaveAndNoMessage) {
    MainRig rig;
    rig.noCommanderServer();
    auto& f = rig.load();
    f.CheckHRD.click();
    rig.settings.writes.clear();
    f.CheckCommander.click();
    EXPECT_EQ(f.CheckCommander.value(), 1);
    EXPECT_EQ(f.CheckHRD.value(), 0);
    // Only the nested handler of the cleared HRD box saved.
    EXPECT_EQ(rig.settings.writes.size(), 6u);
    EXPECT_EQ(rig.settings.get("CheckCommander"), "1");
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(DdeSources, FailedHrdLinkAfterTrxLeavesTrxPollingButOnlyWhileTicked) {
    MainRig rig;
    rig.noHrdServer();
    auto& f = rig.load();
    f.CheckTRX.click();
    f.CheckHRD.click();
    EXPECT_EQ(f.CheckTRX.value(), 0);
    EXPECT_TRUE(f.Timer1.enabled());
    EXPECT_NE(f.trxSource().TRX, nullptr);
    // A cleared TRX-Manager box no longer drives the antenna.
    f.Timer1_Timer();
    EXPECT_TRUE(rig.serial.sent.empty());
    EXPECT_FALSE(f.tickNeeded());
}

TEST(DdeSources, DispatchByTickedBox) {
    struct Case {
        const char* box; // which box is ticked before the delivery
        const char* delivered;
        const char* commanderFreq;
        const char* hrdFreq;
        bool timerStopped;
    } cases[] = {
        {"commander", "14074", "14074", "", true}, {"commander", "", "0", "", true},
        {"commander", "abc", "abc", "", true},     {"hrd", "14074000", "", "14.074", true},
        {"hrd", "7000000", "", "7", true},         {"hrd", "", "", "0", true},
        {"hrd", "garbage", "", "0", true},         {"trx", "14074", "", "", false},
    };
    for (const auto& c : cases) {
        MainRig rig;
        rig.link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "";
        rig.link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "";
        auto& f = rig.load();
        const std::string box = c.box;
        if (box == "commander")
            f.CheckCommander.click();
        else if (box == "hrd")
            f.CheckHRD.click();
        else {
            f.CheckCommander.click(); // leaves a link open
            f.CheckTRX.click();
        }
        f.tracker().CommanderFreq.clear();
        f.tracker().HrdFreq.clear();
        f.Timer1.setEnabled(true);
        rig.link.advise(c.delivered);
        EXPECT_EQ(f.tracker().CommanderFreq, c.commanderFreq) << box << " " << c.delivered;
        EXPECT_EQ(f.tracker().HrdFreq, c.hrdFreq) << box << " " << c.delivered;
        EXPECT_EQ(!f.Timer1.enabled(), c.timerStopped) << box << " " << c.delivered;
        EXPECT_EQ(f.Text1.text(), c.delivered);
    }
}

TEST(DdeSources, ClearingABoxKeepsTheLinkButDropsItsValues) {
    MainRig rig;
    auto& f = rig.load();
    f.CheckCommander.click();
    const auto sent = rig.serial.sent.size();
    f.CheckCommander.click();
    EXPECT_EQ(rig.settings.get("CheckCommander"), "0");
    EXPECT_FALSE(rig.link.linked.empty());
    rig.link.advise("21074");
    EXPECT_EQ(rig.serial.sent.size(), sent);
}

TEST(DdeSources, CommanderFailuresNeitherCrashNorRepeatMessages) {
    MainRig rig;
    auto& f = rig.load();
    f.CheckCommander.click();
    rig.link.advise("not a number");
    rig.link.advise("99999999999");
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_EQ(f.Label7.caption(), "14074");

    rig.files.failure = "PEGASUS.OUT: Permission denied";
    rig.link.advise("21074");
    rig.link.advise("28074");
    rig.dialogs.showPosted();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_EQ(rig.dialogs.messages[0], "PEGASUS.OUT: Permission denied");
    EXPECT_EQ(f.Label3.caption(), "28074");
    EXPECT_EQ(rig.serial.sent.back(), "FA00028074000;");

    rig.files.failure.clear();
    rig.link.advise("50074");
    EXPECT_EQ(rig.pegasus(), "50.074000\r\n");
    rig.files.failure = "PEGASUS.OUT: Permission denied";
    rig.link.advise("14074");
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages.size(), 2u) << "a new fault after recovery is told again";
}

TEST(TrxSource, PollsWhileTickedAndYieldsAfterEachReading) {
    MainRig rig;
    auto& f = rig.load();
    f.Timer1_Timer(); // no TRX object: nothing
    EXPECT_TRUE(rig.system.sleeps.empty());
    f.CheckTRX.click();
    EXPECT_TRUE(f.tickNeeded());
    rig.automation.server->frequency = 7.0;
    f.Timer1_Timer();
    EXPECT_EQ(f.tracker().TrxFreq, "7");
    EXPECT_EQ(rig.serial.sent.back(), "FA00007000000;");
    EXPECT_EQ(rig.system.sleeps, (std::vector<std::uint32_t>{0}));
    rig.automation.server->gone = true;
    f.Timer1_Timer();
    EXPECT_EQ(rig.system.sleeps.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

TEST(TrxSource, TickingOverCommanderReplacesObjectsAndDropsDdeValues) {
    MainRig rig;
    auto& f = rig.load();
    f.CheckCommander.click();
    rig.settings.writes.clear();
    f.CheckTRX.click();
    EXPECT_EQ(f.CheckCommander.value(), 0);
    EXPECT_TRUE(f.Timer1.enabled());
    EXPECT_EQ(rig.savesOf("CheckTRX"), 2);
    const ITrxObject* first = f.trxSource().TRX.get();
    rig.link.advise("21074");
    EXPECT_TRUE(f.Timer1.enabled()) << "a dropped value does not stop the poll";
    f.CheckTRX.click();
    f.CheckTRX.click();
    EXPECT_EQ(rig.automation.creates, 2);
    EXPECT_NE(f.trxSource().TRX.get(), nullptr);
    (void)first;
}

TEST(TrxSource, ServerMissingTellsTheUserOnceAndKeepsTheBox) {
    struct Case {
        bool installed, hasTrx;
    } cases[] = {{false, true}, {true, false}};
    for (const auto& c : cases) {
        MainRig rig;
        rig.automation.installed = c.installed;
        rig.automation.server->hasTrx = c.hasTrx;
        rig.settings.set("CheckTRX", "1");
        auto& f = rig.load();
        ASSERT_EQ(rig.dialogs.messages.size(), 1u);
        EXPECT_EQ(rig.dialogs.messages[0], TrxSource::NotAvailableText);
        EXPECT_EQ(rig.dialogs.captions[0], "Veltaro");
        EXPECT_EQ(f.CheckTRX.value(), 1);
        EXPECT_EQ(rig.savesOf("CheckTRX"), 0);
        EXPECT_FALSE(f.tickNeeded());
        f.Timer1_Timer();
        EXPECT_TRUE(rig.serial.sent.empty());
    }
}

TEST(TrxSource, RestartedServerIsUsedAfterTickingAgain) {
    MainRig rig;
    auto& f = rig.load();
    f.CheckTRX.click();
    rig.automation.server->gone = true;
    f.Timer1_Timer();
    rig.automation.server = std::make_shared<fake::ServerState>(); // a restarted server
    rig.automation.server->frequency = 21.074;
    f.Timer1_Timer();
    EXPECT_TRUE(rig.serial.sent.empty()) << "the old object is still the dead one";
    f.CheckTRX.click();
    f.CheckTRX.click();
    f.Timer1_Timer();
    EXPECT_EQ(rig.serial.sent.back(), "FA00021074000;");
}
