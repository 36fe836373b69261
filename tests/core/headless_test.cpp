// The command line, the no-repeat rule of the headless report, and a headless run on fakes:
// the link state it tells and the settings it leaves alone.
#include "about/app_identity.h"
#include "fakes.h"
#include "net_fakes.h"
#include "shell/command_line.h"
#include "shell/headless.h"

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
    r.messageBox("a\r\nb\n", "Veltaro");
    r.postMessage("a b", "Veltaro"); // the same text again, nothing between
    r.state(T::Link, "down");
    r.postMessage("a b", "Veltaro");
    r.state(T::Link, "up");
    EXPECT_EQ(out, (std::vector<std::string>{"up", "open", "a b", "down", "a b", "up"}));
}

struct HeadlessRun {
    HeadlessRun() {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        for (const auto& [k, v] : {std::pair{"ComPort", "1"},
                                   {"Position-Left", "1200.5"},
                                   {"Position-Top", "900"},
                                   {"CheckCommander", "1"},
                                   {"CheckTRX", "0"},
                                   {"CheckHRD", "0"},
                                   {"CheckOnTop", "1"}})
            settings.set(k, v);
    }
    fake::SerialLine serial;
    fake::SettingsStore settings;
    fake::FileSystem files;
    fake::LinkClient link;
    fake::Automation automation;
    test::FakeNetwork network;
    test::FakeClock clock;
    fake::System system;
    std::vector<std::string> lines;
    HeadlessRelay relay{HeadlessPlatform{serial, settings, files, link, automation, network, clock,
                                         system, NumberFormat{'.'},
                                         [this](const std::string& l) { lines.push_back(l); }}};
};

TEST(Headless, RelaysTellsTheLinkAndWritesNoSettingsItDidNotChange) {
    HeadlessRun h;
    h.relay.start();
    h.link.advise("14075"); // within 10 kHz: nothing to tell
    h.link.lost();
    h.link.lost();
    h.relay.stop();
    h.relay.stop();
    EXPECT_EQ(h.serial.sent, std::vector<std::string>{"FA00014074000;"});
    EXPECT_EQ(h.lines,
              (std::vector<std::string>{
                  "Veltaro " + std::string(app::VersionText) + " runs without a window.",
                  "Relayed 14.074000 MHz: FA00014074000;", "Linked to Commander.", "COM 1: open.",
                  "No link to Commander: the program does not answer or has ended.",
                  "Link to Commander closed.", "COM 1: closed.", "Stopped."}));
    // Also settings of an earlier version, without the newer boxes, stay as they are.
    EXPECT_EQ(h.settings.writes, std::vector<std::string>{});

    HeadlessRun missing; // missing keys get their defaults, the window's position none
    missing.settings.values.clear();
    missing.relay.start();
    missing.relay.stop();
    EXPECT_EQ(
        missing.settings.writes,
        (std::vector<std::string>{"ComPort=1", "CheckCommander=0", "CheckTRX=0", "CheckHRD=0",
                                  "CheckHamlib=0", "CheckFlrig=0", "CheckN1MM=0", "CheckOnTop=0"}));
    EXPECT_THAT(missing.lines,
                testing::Contains("No source is ticked: there is nothing to follow."));
}

} // namespace
} // namespace veltaro
