// The main window's logic: start-up, the settings it keeps, the menu commands, closing, and the
// keep-above placement.
#include "main_rig.h"
#include "view/address_dialog.h"
#include "view/keep_above.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

using namespace veltaro;
using veltaro::test::MainRig;

namespace {
std::vector<std::string> only(const std::vector<std::string>& v,
                              const std::vector<std::string>& of) {
    std::vector<std::string> out;
    for (const auto& e : v)
        if (std::find(of.begin(), of.end(), e) != of.end())
            out.push_back(e);
    return out;
}
} // namespace

TEST(Startup, FirstStartWritesEveryDefaultAndOpensPortOne) {
    MainRig rig;
    auto& w = rig.load();
    EXPECT_EQ(rig.host.clientHeight, MainWindowModel::CollapsedClientHeight);
    for (const auto& k : startUpKeys()) {
        if (k.defaultText) {
            EXPECT_EQ(rig.settings.get(k.name), k.defaultText) << k.name;
        }
    }
    EXPECT_EQ(rig.settings.get("Position-Left"), "1200"); // where the platform put the window
    EXPECT_EQ(rig.settings.get("Position-Top"), "900");
    EXPECT_EQ(w.control("portList").text(), "Com 1");
    EXPECT_EQ(rig.serial.opened, 1);
    EXPECT_TRUE(rig.dialogs.messages.empty());
    EXPECT_FALSE(rig.pollRuns());
}

TEST(Startup, EachKeyIsReadAtItsOwnStepAndTheLinkIsSetUpAgainOnceThePortIsOpen) {
    MainRig rig;
    rig.settings.set("CheckCommander", "1");
    rig.settings.set("CheckTRX", "0");
    rig.load();
    const auto order = only(rig.journal.entries, {"read CheckTRX", "link CI-V Commander|DDEServer",
                                                  "serial open COM1", "write CheckTRX=0"});
    EXPECT_EQ(order, (std::vector<std::string>{
                         "read CheckTRX", "link CI-V Commander|DDEServer", "write CheckTRX=0",
                         "read CheckTRX", "serial open COM1", "link CI-V Commander|DDEServer"}));
    // The reading of the first link met a closed port; the one after the re-link is relayed.
    EXPECT_EQ(rig.serial.sent, std::vector<std::string>{"FA00014074000;"});
}

TEST(Startup, StoredPortIsKeptBySavesDuringStartup) {
    MainRig rig;
    rig.serial.existing = {7};
    rig.settings.set("ComPort", "7");
    rig.settings.set("CheckCommander", "1");
    rig.load();
    EXPECT_GE(rig.settings.writesOf("ComPort"), 1);
    for (const auto& w : rig.settings.writes) {
        if (w.rfind("ComPort=", 0) == 0) {
            EXPECT_EQ(w, "ComPort=7");
        }
    }
    EXPECT_EQ(rig.serial.opened, 7);
}

TEST(Startup, StoredSettingsWithTwoSourceBoxesTicked) {
    // Whether Commander answers, the stored Commander, TRX and HRD boxes, and the boxes after.
    const std::tuple<bool, const char*, const char*, const char*, int, int, int> cases[] = {
        {true, "1", "0", "1", 1, 0, 0},
        {false, "1", "0", "1", 0, 0, 1},
        {true, "1", "1", "0", 1, 0, 0},
        {false, "1", "1", "0", 0, 1, 0},
    };
    for (const auto& [answers, commander, trx, hrd, wantCommander, wantTrx, wantHrd] : cases) {
        SCOPED_TRACE(testing::Message() << answers << commander << trx << hrd);
        MainRig rig;
        if (!answers)
            rig.noCommanderServer();
        rig.settings.set("CheckCommander", commander);
        rig.settings.set("CheckTRX", trx);
        rig.settings.set("CheckHRD", hrd);
        auto& w = rig.load();
        EXPECT_EQ(w.control("commanderBox").check(), Check(wantCommander));
        EXPECT_EQ(w.control("trxManagerBox").check(), Check(wantTrx));
        EXPECT_EQ(w.control("hrdBox").check(), Check(wantHrd));
        EXPECT_EQ(rig.automation.connects, wantTrx);
        w.unload();
        EXPECT_EQ(rig.settings.get("CheckCommander"), std::to_string(wantCommander));
        EXPECT_EQ(rig.settings.get("CheckHRD"), std::to_string(wantHrd));
    }
}

TEST(Startup, UnusableStoredValuesFallBackToDefaults) {
    MainRig rig;
    for (const auto& [k, v] : {std::pair{"ComPort", "abc"},
                               {"Position-Left", "left"},
                               {"Position-Top", "1e99"},
                               {"CheckCommander", "7"},
                               {"CheckTRX", "yes"},
                               {"CheckOnTop", "-1"}})
        rig.settings.set(k, v);
    auto& w = rig.load();
    EXPECT_EQ(w.control("portList").text(), "Com 1");
    EXPECT_EQ(rig.host.l, 1200);
    EXPECT_EQ(rig.host.t, 900);
    for (const char* box : {"commanderBox", "trxManagerBox", "onTopBox"})
        EXPECT_EQ(w.control(box).check(), Check::Clear) << box;
    EXPECT_EQ(rig.serial.opened, 1);
}

// A port that cannot be opened, or a number no port has, is told once; start-up completes, and
// the re-link's reading still updates the display and the file.
TEST(Startup, PortRefusedOrMissingIsReportedOnceAndStartupCompletes) {
    for (const char* stored : {"5", "300", "0", "-3", " 12 "}) {
        const bool aPort = stored[0] != '-' && stored[0] != '0' && stored[1] != '0';
        MainRig rig;
        rig.settings.set("ComPort", stored);
        rig.settings.set("CheckHRD", "1");
        auto& w = rig.load();
        EXPECT_EQ(rig.dialogs.messages,
                  std::vector<std::string>{std::string("COM ") + stored +
                                           ": not available. Check Com Port setting."});
        EXPECT_EQ(rig.link.setups, 2) << "the re-link still runs";
        EXPECT_EQ(w.session().tracker().relayedKHz(), 7074);
        EXPECT_EQ(rig.pegasus(), "07.074000\r\n");
        EXPECT_TRUE(rig.serial.sent.empty());
        w.unload();
        EXPECT_EQ(rig.settings.get("ComPort"), aPort ? std::to_string(std::stoi(stored)) : "1")
            << "a number no port has is not stored back";
    }
}

TEST(Shell, PositionsRoundTripIncludingNegativeOnes) {
    MainRig rig;
    rig.settings.set("Position-Left", "-60");
    rig.settings.set("Position-Top", "345");
    auto& w = rig.load();
    EXPECT_EQ(rig.host.l, -60);
    EXPECT_EQ(rig.host.t, 345);
    w.run(layout::Command::Exit);
    EXPECT_EQ(rig.settings.get("Position-Left"), "-60");
    EXPECT_EQ(rig.settings.get("Position-Top"), "345");
}

TEST(Shell, ExitSavesTwiceAFrameCloseOnceAndNeitherWritesOnTop) {
    for (bool exit : {true, false}) {
        MainRig rig;
        auto& w = rig.load();
        rig.settings.writes.clear();
        if (exit)
            w.run(layout::Command::Exit);
        EXPECT_EQ(rig.host.closes, exit ? 1 : 0);
        w.unload(); // the front end's close of the window
        for (const auto& k : startUpKeys())
            EXPECT_EQ(rig.settings.writesOf(k.name), k.name == std::string("CheckOnTop") ? 0
                                                     : exit                              ? 2
                                                                                         : 1)
                << k.name;
    }
}

TEST(Shell, FailedPortPickIsStoredByTheNextSave) {
    MainRig rig;
    auto& w = rig.load();
    w.control("portList").pick(8); // "Com 9", which does not exist
    EXPECT_EQ(rig.dialogs.messages.back(), "COM 9: not available. Check Com Port setting.");
    EXPECT_EQ(rig.settings.get("ComPort"), "1");
    rig.serial.existing.insert(3);
    w.control("portList").pick(2);
    EXPECT_EQ(rig.settings.get("ComPort"), "3") << "a pick that opens saves at once";
    w.control("portList").pick(8);
    w.unload();
    EXPECT_EQ(rig.settings.get("ComPort"), "9");
}

TEST(Shell, SettingsThatCannotBeWrittenAreReportedOnce) {
    MainRig rig;
    auto& w = rig.load();
    rig.settings.readOnly = true;
    w.run(layout::Command::Exit);
    w.unload();
    rig.dialogs.showPosted();
    ASSERT_EQ(rig.dialogs.messages.size(), 1u);
    EXPECT_NE(rig.dialogs.messages[0].find("settings could not be saved"), std::string::npos);
}

TEST(Shell, HelpIndex) {
    MainRig rig;
    auto& w = rig.load();
    w.run(layout::Command::HelpIndex);
    EXPECT_EQ(rig.manual.opened, 1);
}

// The About box may keep the program running after the main window has closed; nothing of the
// window may go on relaying then.
TEST(Shell, ClosedWindowReleasesPortLinkAndPoll) {
    for (const char* source : {"CheckCommander", "CheckTRX"}) {
        SCOPED_TRACE(source);
        MainRig rig;
        rig.settings.set(source, "1");
        auto& w = rig.load();
        ASSERT_TRUE(rig.serial.isOpen());
        const auto sent = rig.serial.sent.size();
        const int fileWrites = rig.files.writes;
        w.unload();
        EXPECT_FALSE(rig.serial.isOpen());
        EXPECT_TRUE(rig.link.linked.empty());
        EXPECT_FALSE(rig.automation.held);
        EXPECT_FALSE(rig.pollRuns());
        rig.automation.frequency = 21.074;
        rig.elapse(1000);
        rig.link.deliver("21074");
        EXPECT_EQ(rig.serial.sent.size(), sent);
        EXPECT_EQ(rig.files.writes, fileWrites);
        const auto writes = rig.settings.writes.size();
        w.unload(); // a second close request (say, at log-off) changes nothing
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
    rig.host.isPlaced = false;
    rig.host.l = rig.host.t = 0;
    auto& w = rig.load();
    EXPECT_EQ(rig.settings.get("Position-Left"), "<missing>");
    EXPECT_EQ(rig.host.l, 0) << "not moved";
    rig.host.isPlaced = true;
    rig.host.l = 3000;
    rig.host.t = 1500;
    w.placed();
    EXPECT_EQ(rig.settings.get("Position-Left"), "3000");
    EXPECT_EQ(rig.settings.get("Position-Top"), "1500");
    rig.host.l = 45;
    w.placed(); // a stored position is kept
    EXPECT_EQ(rig.settings.get("Position-Left"), "3000");
}

TEST(OnTop, OnlyItsBoxWritesCheckOnTopAndThePixelsAreRounded) {
    MainRig rig;
    auto& w = rig.load();
    rig.settings.writes.clear();
    w.control("onTopBox").click();
    EXPECT_EQ(rig.settings.writes, (std::vector<std::string>{"CheckOnTop=1"}));
    ASSERT_EQ(rig.host.positions.size(), 1u);
    const auto& p = rig.host.positions[0];
    EXPECT_TRUE(p.topmost);
    EXPECT_EQ(p.cy, 169); // 1845 twips below the menu bar and 690 around them, at 15 per pixel
    EXPECT_EQ(p.x, 80);
    EXPECT_EQ(p.y, 60);
    w.control("onTopBox").click();
    EXPECT_FALSE(rig.host.positions.back().topmost);
    EXPECT_EQ(rig.settings.get("CheckOnTop"), "0");
}

// The pixels are rounded as Convert.RoundsHalvesToEvenAndChecksRange shows.
TEST(OnTop, HalvesGoToEvenAndBadFactorsNeverReachThePlatform) {
    fake::WindowHost w;
    w.l = 96.5 * 15;
    placeKeepAbove(w, true);
    ASSERT_EQ(w.positions.size(), 1u);
    EXPECT_EQ(w.positions[0].x, 96);
    w.fy = 0;
    placeKeepAbove(w, true);
    EXPECT_EQ(w.positions.size(), 1u);
}

TEST(OnTop, StartWithOnTopShowsTheTopmostWindowAtItsStoredPlace) {
    MainRig rig;
    rig.settings.set("CheckOnTop", "1");
    rig.settings.set("Position-Left", "300");
    auto& w = rig.load();
    EXPECT_EQ(w.control("onTopBox").check(), Check::Ticked);
    ASSERT_EQ(rig.host.positions.size(), 1u);
    EXPECT_EQ(rig.host.positions[0].x, 20);
    EXPECT_EQ(rig.host.positions[0].cy, 169);
    EXPECT_TRUE(rig.host.visible);
}

// The controller's lists show what is stored, restored after the port list and before the source
// boxes, with their handling left alone: start-up and closing write none of the controller's
// keys. The baud rate and the direction are greyed on the FA path.
TEST(Controller, TheListsShowTheStoredSetupAndStartUpWritesNoneOfIt) {
    const std::tuple<std::map<std::string, std::string>, const char*, const char*, const char*>
        cases[] = {
            {{}, "FA (Data In)", "9600 baud", "Normal"},
            {{{"Protocol", "SteppIR"}, {"Baud", "19200"}, {"Direction", "3/4"}},
             "SteppIR (Data Out)",
             "19200 baud",
             "3/4 wave"},
            {{{"Protocol", "SteppIR"}, {"Baud", "1201"}, {"Direction", "180"}},
             "SteppIR (Data Out)",
             "9600 baud",
             "180\u00B0"},
            {{{"Protocol", "steppir"}, {"Baud", "1200"}, {"Direction", "BiDir"}},
             "FA (Data In)",
             "1200 baud",
             "Bi-directional"},
        };
    for (const auto& [stored, protocol, baud, direction] : cases) {
        SCOPED_TRACE(protocol + std::string(" ") + baud);
        MainRig rig;
        for (const auto& [k, v] : stored)
            rig.settings.values["Veltaro/Controller/" + k] = v;
        rig.settings.set("CheckCommander", "1");
        std::vector<std::string> restored; // each of the three controls' first change
        for (const char* name : {"commanderBox", "protocolList", "portList"})
            rig.control(name).changed().subscribe([&restored, name] {
                if (std::find(restored.begin(), restored.end(), name) == restored.end())
                    restored.push_back(name);
            });
        auto& w = rig.load();
        EXPECT_EQ(restored, (std::vector<std::string>{"portList", "protocolList", "commanderBox"}));
        EXPECT_EQ(w.control("protocolList").text(), protocol);
        EXPECT_EQ(w.control("baudList").text(), baud);
        EXPECT_EQ(w.control("directionList").text(), direction);
        const bool steppir = protocol[0] == 'S';
        EXPECT_EQ(w.control("baudList").enabled(), steppir);
        EXPECT_EQ(w.control("directionList").enabled(), steppir);
        w.unload();
        for (const char* key : {"Protocol", "Baud", "Direction"})
            EXPECT_EQ(rig.settings.writesOf(key), 0) << key;
    }
}

// A pick hands the session the setup with the picked value, which stores what changed; the FA
// path greys the baud rate and the direction again, and a pick of what is shown stores nothing.
TEST(Controller, APickStoresWhatChangedAndGreysWhatTheFaPathDoesNotUse) {
    MainRig rig;
    auto& w = rig.load();
    const std::tuple<const char*, std::size_t, const char*, bool> picks[] = {
        {"protocolList", 1, "Protocol=SteppIR", true}, {"baudList", 4, "Baud=19200", true},
        {"directionList", 1, "Direction=180", true},   {"directionList", 1, nullptr, true},
        {"protocolList", 0, "Protocol=FA", false},
    };
    for (const auto& [list, index, written, steppir] : picks) {
        SCOPED_TRACE(testing::Message() << list << " " << index);
        rig.settings.writes.clear();
        w.control(list).pick(index);
        EXPECT_EQ(rig.settings.writes,
                  written ? std::vector<std::string>{written} : std::vector<std::string>{});
        EXPECT_EQ(w.control("baudList").enabled(), steppir);
        EXPECT_EQ(w.control("directionList").enabled(), steppir);
    }
    EXPECT_EQ(w.session().controllerSetup(),
              (ControllerSetup{ControllerSetup::Protocol::Fa, 19200, steppir::Direction::Reverse}));
    EXPECT_EQ(w.control("baudList").text(), "19200 baud");
    EXPECT_TRUE(rig.dialogs.messages.empty());
}

// The antenna's line says what the session knows, and stands out while the motors run or the
// antenna has not yet reached its target. The FA path says nothing is known.
TEST(Controller, TheAntennaLineFollowsTheSessionAndStandsOutWhileTheAntennaMoves) {
    using State = AntennaStatus::State;
    MainRig rig;
    auto& w = rig.load();
    const Control& line = w.control("antennaLabel");
    EXPECT_EQ(line.text(), "Antenna: no feedback on Data In");
    EXPECT_FALSE(line.emphasised());
    const std::tuple<State, bool, const char*, bool> cases[] = {
        {State::Unknown, false, "unknown", false},
        {State::Moving, true, "moving", true},
        {State::Moving, false, "moving", true}, // stopped short of the target
        {State::Tuned, false, "tuned", false},
        {State::Tuned, true, "tuned", true}, // the radio on Data In moves it
        {State::NotAnswering, false, "not answering", false},
        {State::NoFeedback, false, "no feedback on Data In", false},
    };
    for (const auto& [state, motors, words, emphasised] : cases) {
        SCOPED_TRACE(words);
        AntennaStatus status;
        status.state = state;
        status.motorsRunning = motors;
        if (state != State::NoFeedback) {
            status.hz = 14074000;
            status.direction = steppir::Direction::Reverse;
        }
        w.antennaChanged(status);
        EXPECT_NE(line.text().find(words), std::string::npos) << line.text();
        EXPECT_EQ(line.text().find("14.074") != std::string::npos,
                  state == State::Moving || state == State::Tuned)
            << line.text();
        EXPECT_EQ(line.emphasised(), emphasised);
    }
}

// "Network controller..." asks for the controller's serial server; OK opens it and the list shows
// it picked, Cancel leaves the port in use. The list never shows the item itself as the port, not
// even while the dialog is open.
TEST(Controller, TheNetworkItemAsksForAServerAndOkOpensItWhileCancelKeepsThePort) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        // typed (nullptr: Cancel), the list's text after, ComPort, the entry stored as port 17
        {nullptr, "Com 1", "1", "<none>"},
        {"controller.example:4001", "controller.example:4001 (network)", "17",
         "tcp:controller.example:4001"},
        {"[2001:db8::7]:10001", "[2001:db8::7]:10001 (network)", "17", "tcp:[2001:db8::7]:10001"},
    };
    for (const auto& [typed, shown, comPort, entry] : cases) {
        SCOPED_TRACE(typed ? typed : "Cancel");
        MainRig rig;
        auto& w = rig.load();
        Control& list = w.control("portList");
        std::string title, offered, shownMeanwhile;
        rig.host.inAddressDialog = [&, typed = typed](AddressDialogModel& dialog) {
            title = dialog.title();
            offered = dialog.control("addressText").text();
            shownMeanwhile = list.text();
            if (typed)
                dialog.control("addressText").edit(typed);
            dialog.run(typed ? layout::Command::Ok : layout::Command::Cancel);
        };
        list.pick(list.items().size() - 1);
        EXPECT_EQ(title, "Serial server of the antenna controller");
        EXPECT_EQ(offered, "192.168.1.50:4001");
        EXPECT_EQ(shownMeanwhile, "Com 1");
        EXPECT_EQ(list.text(), shown);
        EXPECT_EQ(rig.settings.get("ComPort"), comPort);
        const auto stored = rig.settings.values.find("Veltaro/Ports/Com17");
        EXPECT_EQ(stored == rig.settings.values.end() ? "<none>" : stored->second, entry);
        EXPECT_EQ(rig.serial.isOpen(), typed == nullptr);
        EXPECT_TRUE(rig.dialogs.messages.empty());
    }
}

// The transmit-inhibit line's lists show what is stored (a port no device has now as its number,
// a present device as the port list shows it, never a serial server; a hold stored by hand),
// restored without writing any of its keys; the hold is greyed on the SteppIR path.
TEST(Interlock, TheListsShowTheStoredSetupAndStartUpWritesNoneOfIt) {
    const std::tuple<std::map<std::string, std::string>, const char*, const char*, const char*,
                     const char*, bool>
        cases[] = {
            {{},
             "No transmit-inhibit line",
             "RTS line",
             "Asserted = TX permitted",
             "Hold 2000 ms",
             true},
            {{{"Port", "20"}, {"Line", "DTR"}, {"Permit", "Cleared"}, {"HoldMs", "1500"}},
             "Com 20",
             "DTR line",
             "Cleared = TX permitted",
             "Hold 1500 ms",
             true},
            {{{"Port", "17"}, {"HoldMs", "5000"}, {"Protocol", "SteppIR"}},
             "ttyUSB0 (USB serial)",
             "RTS line",
             "Asserted = TX permitted",
             "Hold 5000 ms",
             false},
        };
    for (const auto& [stored, port, line, permit, hold, holdEnabled] : cases) {
        SCOPED_TRACE(port);
        MainRig rig;
        rig.serial.present = {{"ttyUSB0 (USB serial)", 0, "/dev/ttyUSB0"}};
        rig.settings.values["Veltaro/Ports/Com18"] = "tcp:192.168.1.50:4001";
        for (const auto& [k, v] : stored)
            rig.settings.values[std::string("Veltaro/") +
                                (k == "Protocol" ? "Controller/" : "Interlock/") + k] = v;
        auto& w = rig.load();
        const Control& ports = w.control("interlockPortList");
        EXPECT_EQ(ports.text(), port);
        EXPECT_EQ(w.control("interlockLineList").text(), line);
        EXPECT_EQ(w.control("interlockPermitList").text(), permit);
        EXPECT_EQ(w.control("interlockHoldList").text(), hold);
        EXPECT_EQ(w.control("interlockHoldList").enabled(), holdEnabled);
        EXPECT_EQ(std::count(ports.items().begin(), ports.items().end(), port), 1);
        EXPECT_EQ(ports.items()[16], "Com 16");
        for (const auto& item : ports.items())
            EXPECT_EQ(item.find("network"), std::string::npos) << item;
        w.unload();
        for (const char* key : {"Port", "Line", "Permit", "HoldMs"})
            EXPECT_EQ(rig.settings.writesOf(key), 0) << key;
    }
}

// Each pick hands the session the setup with the picked value, which stores what changed; the
// hold follows the controller's path.
TEST(Interlock, APickStoresWhatChangedAndTheHoldIsGreyedOnTheSteppirPath) {
    MainRig rig;
    rig.serial.present = {{"ttyUSB0 (USB serial)", 0, "/dev/ttyUSB0"}};
    auto& w = rig.load();
    const std::tuple<const char*, std::size_t, const char*> picks[] = {
        {"interlockPortList", 3, "Port=3"},      {"interlockPortList", 17, "Port=17"},
        {"interlockLineList", 1, "Line=DTR"},    {"interlockPermitList", 1, "Permit=Cleared"},
        {"interlockHoldList", 0, "HoldMs=1000"}, {"interlockHoldList", 0, nullptr},
        {"interlockPortList", 0, "Port="},
    };
    for (const auto& [list, index, written] : picks) {
        SCOPED_TRACE(testing::Message() << list << " " << index);
        rig.settings.writes.clear();
        w.control(list).pick(index);
        EXPECT_EQ(rig.settings.writes,
                  written ? std::vector<std::string>{written} : std::vector<std::string>{});
    }
    EXPECT_EQ(w.session().interlockSetup(),
              (InterlockSetup{std::nullopt, IModemLine::Line::Dtr, InterlockSetup::Permit::Cleared,
                              1000}));
    EXPECT_EQ(w.control("interlockPortList").text(), "No transmit-inhibit line");
    EXPECT_TRUE(w.control("interlockHoldList").enabled());
    w.control("protocolList").pick(1);
    EXPECT_FALSE(w.control("interlockHoldList").enabled());
    w.control("protocolList").pick(0);
    EXPECT_TRUE(w.control("interlockHoldList").enabled());
}

// The line's state is in view at all times; an inhibit or a failure is an alarm, and the FA
// path's hold says it is blind.
TEST(Interlock, TheStateLineSaysWhetherTheRadioMayTransmit) {
    using Kind = InterlockState::Kind;
    using Reason = InterlockState::Reason;
    MainRig rig;
    auto& w = rig.load();
    const Control& line = w.control("interlockLabel");
    EXPECT_EQ(line.text(), "No transmit-inhibit line");
    const std::tuple<Kind, Reason, const char*, Emphasis> cases[] = {
        {Kind::Permitted, Reason::None, "Transmit: permitted", Emphasis::None},
        {Kind::Inhibited, Reason::Moving, "Transmit: inhibited (moving)", Emphasis::Alarm},
        {Kind::Inhibited, Reason::Hold, "Transmit: inhibited (hold after a command, blind)",
         Emphasis::Alarm},
        {Kind::Failed, Reason::CannotOpen, "Transmit-inhibit line failed: cannot open",
         Emphasis::Alarm},
        {Kind::Off, Reason::None, "No transmit-inhibit line", Emphasis::None},
    };
    for (const auto& [kind, reason, text, emphasis] : cases) {
        w.interlockChanged(InterlockState{kind, reason});
        EXPECT_EQ(line.text(), text);
        EXPECT_EQ(line.emphasis(), emphasis) << text;
    }
}
