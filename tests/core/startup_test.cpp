#include "main_rig.h"
#include "shell/on_top.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace veltaro;
using veltaro::test::MainRig;

namespace {
std::vector<std::string> withPrefix(const std::vector<std::string>& v, const std::string& p) {
    std::vector<std::string> out;
    std::copy_if(v.begin(), v.end(), std::back_inserter(out),
                 [&](const std::string& s) { return s.rfind(p, 0) == 0; });
    return out;
}
} // namespace

TEST(Startup, FirstStartWritesTheSevenDefaultsAndOpensPortOne) {
    MainRig rig;
    rig.window.h = 5000;
    auto& f = rig.load();
    EXPECT_EQ(rig.window.h, frmMain::CollapsedHeight);
    EXPECT_EQ(rig.settings.get("ComPort"), "1");
    EXPECT_EQ(rig.settings.get("Position-Left"), "1200");
    EXPECT_EQ(rig.settings.get("Position-Top"), "900");
    for (const char* key : {"CheckCommander", "CheckTRX", "CheckHRD", "CheckOnTop"})
        EXPECT_EQ(rig.settings.get(key), "0") << key;
    EXPECT_EQ(f.Combo18.text(), "Com 1");
    EXPECT_TRUE(rig.serial.open);
    EXPECT_EQ(rig.serial.settings, "4800,n,8,1");
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_TRUE(f.Timer1.enabled());
    EXPECT_FALSE(f.tickNeeded());
}

TEST(Startup, ReadsEachKeyAtItsOwnStepInOrder) {
    MainRig rig;
    rig.settings.set("CheckCommander", "1");
    rig.settings.set("ComPort", "1");
    rig.load();
    auto reads = withPrefix(rig.journal.entries, "read ");
    // Defaults first, then the restore, one key at a time.
    const std::vector<std::string> expected = {
        "read ComPort",      "read Position-Left", "read Position-Top", "read CheckCommander",
        "read CheckTRX",     "read CheckHRD",      "read CheckOnTop",   "read Position-Left",
        "read Position-Top", "read ComPort",       "read CheckOnTop",   "read CheckCommander",
        "read CheckTRX",     "read CheckHRD"};
    EXPECT_EQ(reads, expected);
    // The Commander link is set up during the restore, before the port opens, and again after.
    std::vector<std::string> order;
    for (const auto& e : rig.journal.entries)
        if (e == "link mode 1 CI-V Commander|DDEServer" || e == "serial open 1" ||
            e == "read CheckTRX" || e == "serial Settings=4800,n,8,1")
            order.push_back(e);
    EXPECT_EQ(order, (std::vector<std::string>{
                         "read CheckTRX", "link mode 1 CI-V Commander|DDEServer", "read CheckTRX",
                         "serial open 1", "serial Settings=4800,n,8,1",
                         "link mode 1 CI-V Commander|DDEServer"}));
}

TEST(Startup, CommanderRestoredTwiceAndRelinkRelaysAfterTheReset) {
    MainRig rig;
    rig.settings.set("CheckCommander", "1");
    auto& f = rig.load();
    EXPECT_EQ(rig.link.setups, 2);
    EXPECT_EQ(f.CheckCommander.value(), 1);
    EXPECT_FALSE(f.Timer1.enabled());
    // The first delivery met a closed port; the re-link's delivery is relayed.
    ASSERT_EQ(rig.serial.sent.size(), 1u);
    EXPECT_EQ(rig.serial.sent[0], "FA00014074000;");
    EXPECT_EQ(f.Label3.caption(), "14074");
}

TEST(Startup, StoredPortIsKeptBySavesDuringStartup) {
    MainRig rig;
    rig.serial.existing = {7};
    rig.settings.set("ComPort", "7");
    rig.settings.set("CheckCommander", "1");
    rig.load();
    // Every ComPort write, including the one made while the boxes were restored, keeps 7.
    for (const auto& w : rig.settings.writes) {
        if (w.rfind("ComPort=", 0) == 0) {
            EXPECT_EQ(w, "ComPort=7");
        }
    }
    EXPECT_GE(rig.savesOf("ComPort"), 1);
    EXPECT_EQ(rig.serial.commPort(), 7);
}

TEST(Startup, StoredPairsWithTwoSourceBoxesTicked) {
    struct Case {
        const char* name;
        bool commanderServer;
        const char* commander;
        const char* trx;
        const char* hrd;
        int wantCommander, wantTrx, wantHrd;
    } cases[] = {
        {"commander answers, both DDE boxes", true, "1", "0", "1", 1, 0, 0},
        {"no commander server, both DDE boxes", false, "1", "0", "1", 0, 0, 1},
        {"commander answers, with TRX", true, "1", "1", "0", 1, 0, 0},
        {"no commander server, with TRX", false, "1", "1", "0", 0, 1, 0},
    };
    for (const auto& c : cases) {
        MainRig rig;
        if (!c.commanderServer)
            rig.noCommanderServer();
        rig.settings.set("CheckCommander", c.commander);
        rig.settings.set("CheckTRX", c.trx);
        rig.settings.set("CheckHRD", c.hrd);
        auto& f = rig.load();
        EXPECT_EQ(f.CheckCommander.value(), c.wantCommander) << c.name;
        EXPECT_EQ(f.CheckTRX.value(), c.wantTrx) << c.name;
        EXPECT_EQ(f.CheckHRD.value(), c.wantHrd) << c.name;
        EXPECT_EQ(rig.automation.creates, c.wantTrx) << c.name;
        f.Form_Unload();
        EXPECT_EQ(rig.settings.get("CheckCommander"), std::to_string(c.wantCommander)) << c.name;
        EXPECT_EQ(rig.settings.get("CheckHRD"), std::to_string(c.wantHrd)) << c.name;
    }
}

TEST(Startup, UnusableStoredValuesFallBackToDefaults) {
    MainRig rig;
    rig.settings.set("ComPort", "abc");
    rig.settings.set("Position-Left", "left");
    rig.settings.set("Position-Top", "1e99");
    rig.settings.set("CheckCommander", "7");
    rig.settings.set("CheckTRX", "yes");
    rig.settings.set("CheckOnTop", "-1");
    auto& f = rig.load();
    EXPECT_EQ(f.ComPortSetting(), "1");
    EXPECT_EQ(f.Combo18.text(), "Com 1");
    EXPECT_EQ(rig.window.l, 1200);
    EXPECT_EQ(rig.window.t, 900);
    EXPECT_EQ(f.CheckCommander.value(), 0);
    EXPECT_EQ(f.CheckTRX.value(), 0);
    EXPECT_EQ(f.CheckOnTop.value(), 0);
    EXPECT_TRUE(rig.serial.open);
}

TEST(Startup, PortRefusedOrMissingIsReportedOnceAndStartupCompletes) {
    struct Case {
        const char* stored;
        const char* message;
    } cases[] = {{"5", "COM 5: not available. Check Com Port setting."},
                 {"300", "COM 300: not available. Check Com Port setting."},
                 {"0", "COM 0: not available. Check Com Port setting."},
                 {"-3", "COM -3: not available. Check Com Port setting."},
                 {" 12 ", "COM  12 : not available. Check Com Port setting."}};
    for (const auto& c : cases) {
        MainRig rig;
        rig.settings.set("ComPort", c.stored);
        rig.settings.set("CheckHRD", "1");
        auto& f = rig.load();
        ASSERT_EQ(rig.dialogs.messages.size(), 1u) << c.stored;
        EXPECT_EQ(rig.dialogs.messages[0], c.message);
        EXPECT_EQ(rig.link.setups, 2) << "the re-link still runs";
        EXPECT_EQ(f.tracker().LastSentKHz, 7074) << "the re-link delivery is relayed";
        EXPECT_EQ(rig.pegasus(), "07.074000\r\n");
        EXPECT_TRUE(rig.serial.sent.empty());
        EXPECT_EQ(rig.serial.settings, "4800,n,8,1") << "a later pick opens at 4800 baud";
    }
}

TEST(Startup, PositionsRoundTripIncludingNegativeOnes) {
    MainRig rig;
    rig.settings.set("Position-Left", "-60");
    rig.settings.set("Position-Top", "345");
    auto& f = rig.load();
    EXPECT_EQ(rig.window.l, -60);
    EXPECT_EQ(rig.window.t, 345);
    f.mnuExit_Click();
    EXPECT_EQ(rig.settings.get("Position-Left"), "-60");
    EXPECT_EQ(rig.settings.get("Position-Top"), "345");
}

TEST(Shell, ExitSavesTwiceFrameCloseOnceNeverOnTop) {
    MainRig rig;
    auto& f = rig.load();
    rig.settings.writes.clear();
    f.mnuExit_Click();
    // The front end runs Form_Unload when the window closes.
    EXPECT_EQ(rig.window.closes, 1);
    f.Form_Unload();
    EXPECT_EQ(rig.settings.writes,
              (std::vector<std::string>{"ComPort=1", "Position-Left=1200", "Position-Top=900",
                                        "CheckCommander=0", "CheckTRX=0", "CheckHRD=0", "ComPort=1",
                                        "Position-Left=1200", "Position-Top=900",
                                        "CheckCommander=0", "CheckTRX=0", "CheckHRD=0"}));
}

// The About dialog may keep the program running after the main window has closed; nothing of
// the window may go on relaying then.
TEST(Shell, ClosedWindowReleasesPortLinkAndPoll) {
    for (const char* source : {"CheckCommander", "CheckTRX"}) {
        SCOPED_TRACE(source);
        MainRig rig;
        rig.settings.set(source, "1");
        auto& f = rig.load();
        ASSERT_TRUE(rig.serial.open);
        const auto sent = rig.serial.sent.size();
        const int fileWrites = rig.files.writes;
        f.Form_Unload();
        EXPECT_FALSE(rig.serial.open);
        EXPECT_TRUE(rig.link.linked.empty());
        EXPECT_EQ(rig.automation.server.use_count(), 1) << "the automation objects are let go";
        EXPECT_FALSE(f.tickNeeded());
        rig.automation.server->frequency = 21.074;
        f.Timer1_Timer();
        rig.link.deliver("21074");
        EXPECT_EQ(rig.serial.sent.size(), sent);
        EXPECT_EQ(rig.files.writes, fileWrites);
        const auto writes = rig.settings.writes.size();
        f.Form_Unload(); // a second close request (say, at log-off) changes nothing
        EXPECT_EQ(rig.settings.writes.size(), writes);
    }
}

// A failure told while start-up is under way must not hold up the serial port's opening: the
// controller follows the radio while the box is open.
TEST(Shell, StartupNoticeDoesNotHoldUpTheController) {
    MainRig rig;
    rig.settings.set("CheckCommander", "1");
    rig.files.failure = "PEGASUS.OUT: Permission denied";
    rig.dialogs.whileShowing = [&] { rig.link.advise("21074"); };
    rig.load();
    rig.dialogs.showPosted();
    EXPECT_EQ(rig.dialogs.messages, std::vector<std::string>{"PEGASUS.OUT: Permission denied"});
    EXPECT_EQ(rig.serial.sent, (std::vector<std::string>{"FA00014074000;", "FA00021074000;"}));
}

// A window manager places a new window only when it is shown: the default position is stored
// where it landed, not where the unplaced window seemed to be.
TEST(Shell, FirstStartStoresThePositionOnceThePlatformHasPlacedTheWindow) {
    MainRig rig;
    rig.window.isPlaced = false;
    rig.window.l = rig.window.t = 0;
    auto& f = rig.load();
    EXPECT_EQ(rig.settings.get("Position-Left"), "<missing>");
    EXPECT_EQ(rig.window.l, 0) << "not moved";
    rig.window.isPlaced = true;
    rig.window.l = 3000;
    rig.window.t = 1500;
    f.Form_Placed();
    EXPECT_EQ(rig.settings.get("Position-Left"), "3000");
    EXPECT_EQ(rig.settings.get("Position-Top"), "1500");
    rig.window.l = 45;
    f.Form_Placed(); // a stored position is kept
    EXPECT_EQ(rig.settings.get("Position-Left"), "3000");
}

TEST(Shell, FailedPortSelectionIsStoredByTheNextSave) {
    MainRig rig;
    auto& f = rig.load();
    f.Combo18.pick(8); // "Com 9", which does not exist
    EXPECT_EQ(rig.dialogs.messages.back(), "COM 9: not available. Check Com Port setting.");
    EXPECT_EQ(rig.settings.get("ComPort"), "1");
    f.Form_Unload();
    EXPECT_EQ(rig.settings.get("ComPort"), "9");
}

TEST(Shell, SettingsThatCannotBeWrittenAreReportedOnce) {
    MainRig rig;
    auto& f = rig.load();
    rig.settings.readOnly = true;
    f.mnuExit_Click();
    f.Form_Unload();
    rig.dialogs.showPosted();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_NE(rig.dialogs.messages[0].find("settings could not be saved"), std::string::npos);
}

TEST(OnTop, OnlyItsBoxWritesCheckOnTopAndThePixelsAreRounded) {
    MainRig rig;
    auto& f = rig.load();
    rig.settings.writes.clear();
    f.CheckOnTop.click();
    EXPECT_EQ(rig.settings.writes, (std::vector<std::string>{"CheckOnTop=1"}));
    ASSERT_EQ(rig.window.positions.size(), 1u);
    const auto& p = rig.window.positions[0];
    EXPECT_TRUE(p.topmost);
    EXPECT_EQ(p.cy, 97); // 1455 twips at 15 twips per pixel
    EXPECT_EQ(p.x, 80);
    EXPECT_EQ(p.y, 60);
    f.CheckOnTop.click();
    EXPECT_FALSE(rig.window.positions.back().topmost);
    EXPECT_EQ(rig.settings.get("CheckOnTop"), "0");
    f.mnuExit_Click();
    f.Form_Unload();
    EXPECT_EQ(rig.savesOf("CheckOnTop"), 2);
}

TEST(OnTop, HalvesGoToEvenAndBadFactorsNeverReachThePlatform) {
    struct Case {
        double left, factor;
        int x;
    } cases[] = {{97.5 * 15, 15, 98}, {96.5 * 15, 15, 96}, {-60, 15, -4}, {1462.5, 15, 98}};
    for (const auto& c : cases) {
        fake::WindowHost w;
        w.l = c.left;
        w.fx = c.factor;
        SetFormOnTop(w, true);
        ASSERT_EQ(w.positions.size(), 1u);
        EXPECT_EQ(w.positions[0].x, c.x) << c.left;
    }
    fake::WindowHost w;
    w.fy = 0;
    EXPECT_THROW(SetFormOnTop(w, true), OverflowError);
    EXPECT_TRUE(w.positions.empty());
}

TEST(OnTop, StartWithCheckOnTopShowsTheTopmostWindowBeforeTheSources) {
    MainRig rig;
    rig.settings.set("CheckOnTop", "1");
    rig.settings.set("Position-Left", "300");
    auto& f = rig.load();
    EXPECT_EQ(f.CheckOnTop.value(), 1);
    ASSERT_EQ(rig.window.positions.size(), 1u);
    EXPECT_EQ(rig.window.positions[0].x, 20);
    EXPECT_EQ(rig.window.positions[0].cy, 97);
    EXPECT_TRUE(rig.window.visible);
}
