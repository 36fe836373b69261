// The transmit-inhibit line: when it inhibits on each path, over time (timers and clock moved by
// hand), what it drives when it starts and stops, a line that cannot be opened or driven, and
// its settings.
#include "app/settings.h"
#include "fakes.h"
#include "net_fakes.h"
#include "relay/interlock.h"

#include <gtest/gtest.h>

#include <functional>

using namespace veltaro;

namespace {

using State = AntennaStatus::State;

AntennaStatus antenna(State state, std::optional<std::int64_t> targetHz = {},
                      bool motorsRunning = false) {
    AntennaStatus s;
    s.state = state;
    s.hz = targetHz;
    s.targetHz = targetHz;
    s.motorsRunning = motorsRunning;
    return s;
}

struct InterlockRig {
    test::FakeClock clock;
    fake::Timers timers;
    fake::ModemLine line;
    std::vector<std::string> notices, states;
    Interlock interlock{line, timers, clock,
                        [this](const Notice& n) { notices.push_back(n.text); }};

    InterlockRig() {
        timers.clock = &clock.now;
        interlock.setStateHandler([this](const InterlockState& s) { states.push_back(s.text()); });
    }
    static InterlockSetup setup(std::optional<int> port = 7) {
        InterlockSetup s;
        s.port = port;
        return s;
    }
    std::string state() const { return interlock.state().text(); }
};

// One step: what happens, then how long passes, then the state shown and the level of the line
// (1: asserted).
struct Step {
    const char* what;
    std::function<void(Interlock&)> act;
    std::int64_t elapseMs;
    const char* state;
    bool asserted;
};

void runSteps(InterlockRig& rig, const std::vector<Step>& steps, const char* line = "RTS") {
    for (const auto& step : steps) {
        if (step.act)
            step.act(rig.interlock);
        rig.timers.elapse(step.elapseMs);
        EXPECT_EQ(rig.state(), step.state) << step.what;
        EXPECT_EQ(rig.line.levels[line], step.asserted) << step.what;
    }
}

TEST(Interlock, SteppirPathInhibitsUntilTheTargetIsConfirmedAndWhileTheAntennaIsNotKnownAtRest) {
    InterlockRig rig;
    const auto status = [](AntennaStatus s) { return [s](Interlock& i) { i.antennaChanged(s); }; };
    const auto frame = [](std::int64_t hz) { return [hz](Interlock& i) { i.setFrameSent(hz); }; };
    runSteps(
        rig,
        {
            {"start",
             [](Interlock& i) { i.start(InterlockRig::setup(), Interlock::Path::Steppir); }, 0,
             "inhibited: starting", false},
            {"no controller yet", {}, 5000, "inhibited: starting", false},
            {"controller open", &Interlock::controllerOpened, 0, "inhibited: unknown", false},
            {"at rest", status(antenna(State::Tuned, 14074000)), 0, "permitted", true},
            {"frame", frame(21074000), 0, "inhibited: not confirmed", false},
            {"motors run", status(antenna(State::Moving, 21074000, true)), 2000,
             "inhibited: moving", false},
            {"stopped once", status(antenna(State::Moving, 21074000)), 0,
             "inhibited: not confirmed", false},
            {"a stale status", status(antenna(State::Tuned, 14074000)), 1000,
             "inhibited: not confirmed", false},
            {"confirmed", status(antenna(State::Tuned, 21074000)), 199, "inhibited: not confirmed",
             false},
            {"200 ms after", {}, 1, "permitted", true},
            {"frame again", frame(21074000), 0, "inhibited: not confirmed", false},
            {"target within 10 Hz", status(antenna(State::Tuned, 21074009)), 200, "permitted",
             true},
            {"the radio moves it", status(antenna(State::Moving, {}, true)), 0, "inhibited: moving",
             false},
            {"motors stop", status(antenna(State::Tuned, 28074000)), 0, "permitted", true},
            {"not answering", status(antenna(State::NotAnswering)), 0, "inhibited: not answering",
             false},
            {"answers", status(antenna(State::Tuned, 28074000)), 0, "permitted", true},
            {"controller lost", &Interlock::controllerClosed, 0, "inhibited: controller not open",
             false},
            {"back", &Interlock::controllerOpened, 0, "permitted", true},
            {"state lost with it", status(antenna(State::Unknown)), 0, "inhibited: unknown", false},
            {"the FA path knows nothing", [](Interlock& i) { i.setPath(Interlock::Path::Fa); }, 0,
             "permitted", true},
        });
    EXPECT_EQ(rig.notices, std::vector<std::string>{});
}

// The FA path holds after each command for HoldMs (here 500), counted from the last. Cleared
// permits here, on DTR.
TEST(Interlock, FaPathHoldsAfterEachCommand) {
    InterlockRig rig;
    auto setup = InterlockRig::setup();
    setup.holdMs = 500;
    setup.line = IModemLine::Line::Dtr;
    setup.permit = InterlockSetup::Permit::Cleared;
    rig.interlock.controllerOpened(); // opened before the interlock started: no "starting"
    const auto command = &Interlock::faCommandSent;
    runSteps(rig,
             {
                 {"start", [&](Interlock& i) { i.start(setup, Interlock::Path::Fa); }, 0,
                  "permitted", false},
                 {"command", command, 499, "inhibited: hold after a command", true},
                 {"hold over", {}, 1, "permitted", false},
                 {"command", command, 300, "inhibited: hold after a command", true},
                 {"another", command, 499, "inhibited: hold after a command", true},
                 {"hold over", {}, 1, "permitted", false},
             },
             "DTR");
    EXPECT_EQ(rig.line.levels.count("RTS"), 0u);
}

// The line is opened and set to inhibit before anything else, and left inhibiting before it is
// closed, by stop() and by the end of the interlock alike. Without a port nothing is opened.
TEST(Interlock, SafeLevelRightAfterOpeningAndBeforeClosing) {
    InterlockRig rig;
    rig.interlock.start(InterlockRig::setup(std::nullopt), Interlock::Path::Fa);
    rig.interlock.controllerOpened();
    EXPECT_EQ(rig.state(), "off");
    EXPECT_EQ(rig.line.calls, std::vector<std::string>{});
    rig.interlock.start(InterlockRig::setup(), Interlock::Path::Fa);
    EXPECT_EQ(rig.state(), "permitted");
    rig.interlock.stop();
    EXPECT_EQ(rig.state(), "off");
    EXPECT_EQ(rig.line.calls,
              (std::vector<std::string>{"open 7", "set RTS 0", "set RTS 1", "set RTS 0", "close"}));

    // Driven again every second, so that an adapter gone is noticed; left inhibiting at the end.
    fake::ModemLine line;
    {
        Interlock interlock(line, rig.timers, rig.clock, {});
        interlock.controllerOpened();
        interlock.start(InterlockRig::setup(), Interlock::Path::Fa);
        rig.timers.elapse(2500);
    }
    EXPECT_EQ(line.calls, (std::vector<std::string>{"open 7", "set RTS 0", "set RTS 1", "set RTS 1",
                                                    "set RTS 1", "set RTS 0", "close"}));
}

// A port that cannot be opened or a line that cannot be driven is told once and shown as failed,
// never as permitted; it is tried again every second, and told again when it fails anew after
// it worked.
TEST(Interlock, LineThatCannotBeDrivenFailsAndIsNeverPermitted) {
    InterlockRig rig;
    rig.line.failSet = true;
    rig.interlock.controllerOpened();
    rig.interlock.start(InterlockRig::setup(), Interlock::Path::Steppir);
    EXPECT_EQ(rig.state(), "failed: cannot drive the line");
    EXPECT_FALSE(rig.line.isOpen());
    rig.interlock.antennaChanged(antenna(State::Tuned, 14074000));
    rig.timers.elapse(5000);
    rig.interlock.setFrameSent(21074000);
    rig.interlock.antennaChanged(antenna(State::Tuned, 21074000));
    rig.timers.elapse(1000);
    EXPECT_EQ(rig.states, std::vector<std::string>{"failed: cannot drive the line"});
    EXPECT_EQ(rig.notices, std::vector<std::string>{"The transmit-inhibit line cannot be driven: "
                                                    "Inappropriate ioctl for device"});
    EXPECT_EQ(rig.line.levels.size(), 0u);

    rig.line.failSet = false; // the adapter is plugged in again
    rig.timers.elapse(1000);
    EXPECT_EQ(rig.state(), "permitted");
    EXPECT_EQ(rig.line.levels["RTS"], true);
    rig.line.failSet = true; // and pulled out: found when the line is next driven
    rig.interlock.setFrameSent(28074000);
    EXPECT_EQ(rig.state(), "failed: cannot drive the line");
    EXPECT_EQ(rig.notices.size(), 2u);
    rig.line.failSet = false;
    rig.timers.elapse(1000);
    rig.line.failSet = true; // or by driving it again each second
    rig.timers.elapse(1000);
    EXPECT_EQ(rig.state(), "failed: cannot drive the line");
    EXPECT_EQ(rig.notices.size(), 3u);

    InterlockRig missing;
    missing.line.failOpen = true;
    missing.interlock.start(InterlockRig::setup(), Interlock::Path::Fa);
    missing.interlock.controllerOpened();
    missing.timers.elapse(3000);
    EXPECT_EQ(missing.states, std::vector<std::string>{"failed: cannot open"});
    EXPECT_EQ(missing.notices, std::vector<std::string>{"The transmit-inhibit line cannot be "
                                                        "opened: No such file or directory"});
}

TEST(InterlockSettings, ReadWithDefaultsForWhatCannotBeUsedAndWrittenWhenChanged) {
    // Port, Line, Permit, HoldMs as stored; the setup they read as.
    using Line = IModemLine::Line;
    using Permit = InterlockSetup::Permit;
    const std::tuple<const char*, const char*, const char*, const char*, InterlockSetup> cases[] = {
        {"", "", "", "", {std::nullopt, Line::Rts, Permit::Asserted, 2000}},
        {"7", "DTR", "Cleared", "0", {7, Line::Dtr, Permit::Cleared, 0}},
        {" 255 ", "dtr", "cleared", "60000", {255, Line::Dtr, Permit::Cleared, 60000}},
        {"0", "Both", "High", "60001", {std::nullopt, Line::Rts, Permit::Asserted, 2000}},
        {"256", "RTS", "Asserted", "-1", {std::nullopt, Line::Rts, Permit::Asserted, 2000}},
        {"COM3", "", "", "1.5", {std::nullopt, Line::Rts, Permit::Asserted, 2000}},
    };
    fake::SettingsStore store;
    FailureNotice notice([](const Notice&) {});
    Settings settings(store, notice, NumberFormat{});
    for (const auto& [port, line, permit, hold, expected] : cases) {
        store.values["Veltaro/Interlock/Port"] = port;
        store.values["Veltaro/Interlock/Line"] = line;
        store.values["Veltaro/Interlock/Permit"] = permit;
        store.values["Veltaro/Interlock/HoldMs"] = hold;
        EXPECT_EQ(settings.readInterlockSetup(), expected) << port << line << permit << hold;
    }
    const InterlockSetup before{12, Line::Rts, Permit::Asserted, 2000};
    settings.writeInterlockSetup({12, Line::Dtr, Permit::Cleared, 2000}, before);
    settings.writeInterlockSetup({std::nullopt, Line::Rts, Permit::Asserted, 750}, before);
    EXPECT_EQ(store.writes,
              (std::vector<std::string>{"Line=DTR", "Permit=Cleared", "Port=", "HoldMs=750"}));
    EXPECT_EQ(store.values["Veltaro/Interlock/Port"], "");
}

} // namespace
