// Responsibilities: Veltaro without a window, for a shack computer with no display. It runs the
// main window's logic unchanged (start-up from the stored settings, the ticked source, the port,
// the frequency file, the 10 kHz rule) behind a window that does not exist, and tells every
// change of state as one line: the link and why it is down (retries are quiet, with a reminder
// at most every 10 minutes while nothing is linked), each command as it reaches the serial line
// or why it did not, the port, and each message the window would show in a box. It writes no
// setting: without a window nobody changes one.
// Collaborations: a front end's main() builds it with the platform's adapters and a line sink
// (standard error), runs the poll and reopen timers of core() as for the window, and calls
// stop() on a termination request; shell/main_window does the work.
#pragma once

#include "platform/automation.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "platform/link_client.h"
#include "platform/network.h"
#include "platform/serial_line.h"
#include "platform/settings_store.h"
#include "platform/system.h"
#include "platform/window_host.h"
#include "shell/main_window.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace veltaro {

// Writes a line for each change of state, and never the same state twice in a row.
class LineReporter : public IDialogs {
public:
    using Sink = std::function<void(const std::string& line)>;
    enum class Topic { Program, Link, Relay, Port };

    explicit LineReporter(Sink sink) : sink_(std::move(sink)) {}

    // Written unless it is the line last written on the same topic; true when written.
    bool state(Topic topic, const std::string& line);
    // Written as it is, changing no topic's last line.
    void remind(const std::string& line) { write(line); }
    // A box's text on one line (line breaks become blanks); the caption is the program's name
    // and is left out. The same text again is written only once some other line came between.
    void messageBox(const std::string& text, const std::string& caption) override;
    void postMessage(const std::string& text, const std::string& caption) override;

private:
    void write(const std::string& line);

    Sink sink_;
    std::array<std::string, 4> lastOnTopic_;
    std::string lastLine_;
};

// The settings as the program without a window sees them. Nobody can change a setting without
// a window, so nothing reaches the store: what the window's logic writes (the defaults of
// missing keys at start-up, the saves when a box is ticked and at the end) is kept for the run
// and read back from here, and the store stays as it was, byte for byte.
class UnwrittenSettings : public ISettingsStore {
public:
    explicit UnwrittenSettings(ISettingsStore& store) : store_(store) {}
    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override;
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override {
        kept_[app + '\n' + section + '\n' + key] = value;
    }

private:
    ISettingsStore& store_;
    std::map<std::string, std::string> kept_;
};

// The window that is not there: never placed, keeping the position start-up gives it.
class WindowlessHost : public IWindowHost {
public:
    double left() const override { return left_; }
    double top() const override { return top_; }
    double width() const override { return 0; }
    double height() const override { return 0; }
    void setLeft(double twips) override { left_ = twips; }
    void setTop(double twips) override { top_ = twips; }
    void setClientHeight(double) override {}
    bool placed() const override { return false; }
    double twipsPerPixelX() const override { return 15; }
    double twipsPerPixelY() const override { return 15; }
    void setWindowPos(bool, int, int, int, int) override {}
    void close() override {}
    void showAbout() override {}
    void showAddressDialog(AddressDialog&) override {} // no window to edit an address in

private:
    double left_ = 0;
    double top_ = 0;
};

class NoHelp : public IHelp {
public:
    void showHelp(int, const std::string&) override {}
};

struct HeadlessPlatform {
    ISerialLine& serial;
    ISettingsStore& settings;
    IFileSystem& files;
    ILinkClient& link;
    IAutomationClient& automation;
    INetwork& network;
    IClock& clock;
    ISystem& system;
    NumberFormat format;
    LineReporter::Sink writeLine;
};

class HeadlessRelay {
public:
    // While nothing is linked, the state is told again after this long without a link line.
    static constexpr std::int64_t ReminderMs = 10 * 60 * 1000;

    explicit HeadlessRelay(HeadlessPlatform p);
    HeadlessRelay(const HeadlessRelay&) = delete;
    HeadlessRelay& operator=(const HeadlessRelay&) = delete;

    // Starts up as the window does and tells the state reached.
    void start();
    // Lets go of the source and the port; later calls do nothing.
    void stop();

    // For the front end's timers: pollNeeded()/poll(), reopenNeeded()/reopenTick() and the
    // signal that tells when either may have changed.
    MainWindow& core() { return core_; }

private:
    // The link line; a reminder says "Still ..." and is empty while linked or nothing is ticked.
    std::string linkLine(bool reminder);
    void reportLink();
    void remind();
    void reportSend();
    void reportPort();

    IClock& clock_;
    LineReporter reporter_;
    UnwrittenSettings settings_;
    WindowlessHost host_;
    NoHelp help_;
    MainWindow core_;
    bool portWasGone_ = false;
    bool portTold_ = false;
    std::int64_t linkToldAt_ = 0; // when the latest link line was written
};

} // namespace veltaro
