// The command line, the no-repeat rule of the headless report, and a headless run on fakes: the
// relay session and its report alone, as veltaro --headless runs them, with no window model; the
// link state it tells and the settings it leaves alone.
#include "app/command_line.h"
#include "app/headless_report.h"
#include "base/identity.h"
#include "main_rig.h"

#include <cstring>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace veltaro {
namespace {

using Mode = CommandLine::Mode;

TEST(CommandLine, ModesAndBadArguments) {
    const struct {
        std::vector<std::string> args;
        Mode mode;
        std::string problem;
    } rows[] = {
        {{}, Mode::Window, ""},
        {{"--headless"}, Mode::Headless, ""},
        {{"--headless", "--headless"}, Mode::Headless, ""},
        {{"--headless", "-h"}, Mode::Help, ""},
        {{"--version", "--help"}, Mode::Version, ""},
        {{"--help", "--bogus"}, Mode::Bad, "unknown option '--bogus'"},
        {{"--headless=1"}, Mode::Bad, "unknown option '--headless=1'"},
        {{"COM1"}, Mode::Bad, "unexpected argument 'COM1'"},
    };
    for (const auto& r : rows) {
        const auto line = parseCommandLine(r.args);
        EXPECT_EQ(line.mode, r.mode) << testing::PrintToString(r.args);
        EXPECT_EQ(line.problem, r.problem);
        EXPECT_EQ(line.exitCode(), r.mode == Mode::Bad ? 2 : 0);
    }
}

TEST(LineReporter, TellsEachStateOnceAndMessagesOnOneLine) {
    std::vector<std::string> out;
    LineReporter r([&](const std::string& l) { out.push_back(l); });
    using T = LineReporter::Topic;
    r.state(T::Link, "up");
    r.state(T::Link, "up");   // no change
    r.state(T::Port, "open"); // other topics keep their own last line
    r.state(T::Link, "up");
    r.message("a\r\nb\n");
    r.message("a b"); // the same text again, nothing between
    r.state(T::Link, "down");
    r.message("a b");
    r.state(T::Link, "up");
    EXPECT_EQ(out, (std::vector<std::string>{"up", "open", "a b", "down", "a b", "up"}));
}

// The fakes of the main rig, but no window model: the session and the headless report alone.
struct HeadlessRun : test::MainRig {
    HeadlessRun() {
        const char* stored[][2] = {{"ComPort", "1"},        {"Position-Left", "1200.5"},
                                   {"Position-Top", "900"}, {"CheckCommander", "1"},
                                   {"CheckTRX", "0"},       {"CheckHRD", "0"},
                                   {"CheckOnTop", "1"}};
        for (const auto& [k, v] : stored)
            settings.set(k, v);
    }
    // As the program runs it: the first line, the session, and at the end the last lines.
    void start() {
        report.starting();
        session().start();
    }
    void stop() {
        session().end();
        report.stopped();
    }
    std::vector<std::string> lines;
    HeadlessReport report{session(), timers, [this](const std::string& l) { lines.push_back(l); }};
};

const std::string Started = "Veltaro " + std::string(app::VersionText) + " runs without a window.";

TEST(Headless, RelaysTellsTheLinkAndWritesNoSettings) {
    HeadlessRun h;
    h.start();
    h.link.advise("14075"); // within 10 kHz: nothing to tell
    h.link.lost();
    h.link.lost();
    h.stop();
    h.stop();
    EXPECT_EQ(h.serial.sent, std::vector<std::string>{"FA00014074000;"});
    EXPECT_EQ(h.lines, (std::vector<std::string>{
                           Started, "Linked to Commander.", "COM 1: open.",
                           "Relayed 14.074000 MHz: FA00014074000;",
                           "No link to Commander: the program ended the link.",
                           "Link to Commander closed.", "COM 1: closed.", "Stopped."}));
    EXPECT_EQ(h.settings.writes, std::vector<std::string>{});

    HeadlessRun missing; // missing keys read as their defaults, and are not written either
    missing.settings.values.clear();
    missing.start();
    missing.stop();
    EXPECT_EQ(missing.settings.writes, std::vector<std::string>{});
    EXPECT_THAT(missing.lines,
                testing::Contains("No source is ticked: there is nothing to follow."));
}

// rigctld away: one line for the state, quiet retries, a reminder after 10 minutes.
TEST(Headless, ALinkDownIsToldOnceAndRemindedEveryTenMinutes) {
    HeadlessRun h;
    h.settings.set("CheckCommander", "0");
    h.settings.set("CheckHamlib", "1");
    h.start();
    const auto run = [&](std::int64_t ms, bool refuse) {
        for (const auto end = h.clock.now + ms; h.clock.now < end;) {
            if (refuse && h.network.link->open)
                h.network.link->end("connection refused");
            h.timers.elapse(RelaySession::PollIntervalMs);
        }
    };
    run(20'000, true);
    const std::string away = "no link to Hamlib at 127.0.0.1:4532: connection refused.";
    EXPECT_EQ(h.lines, (std::vector<std::string>{Started, "Linking to Hamlib at 127.0.0.1:4532...",
                                                 "COM 1: open.", "N" + away.substr(1)}));
    EXPECT_GT(h.network.link->connects, 10);
    run(HeadlessReport::ReminderMs, true);
    EXPECT_EQ(h.lines.size(), 5u);
    EXPECT_EQ(h.lines.back(), "Still " + away);

    run(SourceSelector::LongestRetryMs, false); // rigctld is back
    h.network.link->accept();
    h.network.link->reply("0\nVFOA\n");
    h.network.link->reply("14074000\n");
    EXPECT_THAT(h.lines, testing::ElementsAre(testing::_, testing::_, testing::_, testing::_,
                                              testing::_, "Linked to Hamlib at 127.0.0.1:4532.",
                                              "Relayed 14.074000 MHz: FA00014074000;"));
}

// What reached the serial line, after the write: a port not open, gone and back, failing.
TEST(Headless, TellsEachCommandAsWrittenOrNotAndThePortComingBack) {
    HeadlessRun h;
    h.settings.set("ComPort", "2");
    h.start();
    EXPECT_EQ(h.lines.back(), "Not sent: 14.074000 MHz (FA00014074000;): COM 2 is not open.");

    HeadlessRun back;
    back.start();
    back.serial.vanish();
    back.link.advise("14100");
    back.serial.existing.insert(1);
    back.timers.elapse(RelaySession::ReopenIntervalMs);
    back.serial.failWrites = true;
    back.link.advise("14200");
    EXPECT_EQ(std::vector(back.lines.begin() + 4, back.lines.end()),
              (std::vector<std::string>{
                  "COM 1: the port has gone away. Veltaro will open it again when it comes back.",
                  "COM 1: gone; it is opened again when it comes back.",
                  "Not sent: 14.100000 MHz (FA00014100000;): COM 1 has gone away.",
                  "COM 1: open again.", "Relayed 14.100000 MHz: FA00014100000;",
                  "Not sent: 14.200000 MHz (FA00014200000;): COM 1 could not be written (Write "
                  "failed).",
                  "Write failed"}));
}

// The controller's own protocol through the session: the line at the setup's rate, a relay as a
// set frame, the replies shown and driving the transmit-inhibit line, the state fed to other
// programs, and a controller lost and back.
TEST(Headless, SteppirPathShowsTheAntennaDrivesTheLineAndFeedsItsState) {
    HeadlessRun h;
    for (const auto& [key, value] : {std::pair{"Controller/Protocol", "SteppIR"},
                                     {"Controller/Baud", "19200"},
                                     {"Interlock/Port", "7"},
                                     {"Feed/Address", "127.0.0.1:12070"}})
        h.settings.values[std::string("Veltaro/") + key] = value;
    const auto reply = [&](bool motors) {
        steppir::Status s;
        s.hz = 14074000;
        s.motorsRunning = motors;
        s.motorBits = motors ? 0x0F : 0;
        s.direction = steppir::Direction::Normal;
        s.version = "1A";
        h.serial.receive(steppir::encodeStatus(s));
    };
    h.start();
    h.timers.elapse(AntennaLoop::MinFrameGapMs); // after the first status request
    EXPECT_EQ(h.serial.baud, 19200);
    const std::string frame = *steppir::encodeSetFrame(14074000, steppir::Direction::Normal);
    EXPECT_EQ(h.serial.sent, (std::vector<std::string>{"?A\r", frame}));
    reply(true);
    reply(false);
    reply(false);
    h.timers.elapse(Interlock::SettleMs);
    h.serial.vanish();
    h.serial.existing.insert(1);
    h.timers.elapse(RelaySession::ReopenIntervalMs);
    EXPECT_EQ(std::count(h.serial.sent.begin(), h.serial.sent.end(), frame), 2);
    h.stop();
    const char* Inhibited = "Transmit-inhibit line: inhibited: ";
    EXPECT_EQ(std::vector(h.lines.begin() + 2, h.lines.end()),
              (std::vector<std::string>{
                  "Antenna: unknown.",
                  Inhibited + std::string("starting."),
                  Inhibited + std::string("unknown."),
                  "COM 1: open.",
                  "Relayed 14.074000 MHz: set 14.074 MHz",
                  Inhibited + std::string("moving."),
                  "Antenna: moving to 14.074 MHz.",
                  Inhibited + std::string("not confirmed."),
                  "Antenna: tuned to 14.074 MHz.",
                  "Transmit-inhibit line: permitted.",
                  "COM 1: the port has gone away. Veltaro will open it again when it comes back.",
                  Inhibited + std::string("controller not open."),
                  "Antenna: unknown.",
                  "COM 1: gone; it is opened again when it comes back.",
                  Inhibited + std::string("unknown."),
                  "COM 1: open again.",
                  "Link to Commander closed.",
                  "Transmit-inhibit line: off.",
                  "COM 1: closed.",
                  "Stopped."}));
    // Inhibiting (RTS cleared) from the start, permitting once tuned, inhibiting before closing.
    EXPECT_EQ(h.interlockLine.calls,
              (std::vector<std::string>{"open 7", "set RTS 0", "set RTS 1", "set RTS 0",
                                        "set RTS 0", "set RTS 0", "close"}));
    // Every change went out, numbered without a gap, across the loss.
    std::vector<std::string> feed;
    for (const auto& d : h.network.sender->sent) {
        const auto field = [&](const char* name) {
            const auto at = d.find(std::string("\"") + name + "\":") + std::strlen(name) + 3;
            return d.substr(at, d.find_first_of(",}", at) - at);
        };
        feed.push_back(field("sequence") + " " + field("antennaState") + " " + field("interlock"));
    }
    EXPECT_EQ(feed, (std::vector<std::string>{
                        "1 \"unknown\" \"inhibited\"", "2 \"unknown\" \"inhibited\"",
                        "3 \"moving\" \"inhibited\"", "4 \"moving\" \"inhibited\"",
                        "5 \"tuned\" \"inhibited\"", "6 \"tuned\" \"permitted\"",
                        "7 \"tuned\" \"inhibited\"", "8 \"unknown\" \"inhibited\"",
                        "9 \"unknown\" \"inhibited\"", "10 \"unknown\" \"inhibited\"",
                        "11 \"unknown\" \"off\""}));
}

// The transmit-inhibit line needs an adapter of its own: the controller's port is refused.
TEST(Headless, TheControllersOwnPortIsRefusedForTheInhibitLine) {
    HeadlessRun h;
    h.settings.values["Veltaro/Interlock/Port"] = "1";
    h.start();
    EXPECT_THAT(h.lines, testing::Contains("The transmit-inhibit line cannot be on COM 1: that is "
                                           "the antenna controller's port. Give it a serial "
                                           "adapter of its own."));
    EXPECT_EQ(h.interlockLine.calls, std::vector<std::string>{});
}

// A change of protocol takes effect at once: the line is opened again at the protocol's rate and
// the relayed frequency goes out in the new protocol; only the keys changed are written.
TEST(Headless, AChangeOfProtocolReopensTheLineAndSendsTheRelayAgain) {
    HeadlessRun h;
    h.start();
    ControllerSetup steppir = h.session().controllerSetup();
    steppir.protocol = ControllerSetup::Protocol::Steppir;
    h.session().setControllerSetup(steppir);
    h.timers.elapse(AntennaLoop::MinFrameGapMs);
    EXPECT_EQ(h.serial.baud, ControllerSetup::DefaultBaud);
    const std::string frame = *steppir::encodeSetFrame(14074000, steppir::Direction::Normal);
    EXPECT_EQ(h.serial.sent, (std::vector<std::string>{"FA00014074000;", "?A\r", frame}));
    h.session().setControllerSetup(ControllerSetup{});
    EXPECT_EQ(h.serial.baud, ControllerSetup::FaBaud);
    EXPECT_EQ(h.serial.sent.back(), "FA00014074000;");
    EXPECT_EQ(h.settings.writes, (std::vector<std::string>{"Protocol=SteppIR", "Protocol=FA"}));
}

} // namespace
} // namespace veltaro
