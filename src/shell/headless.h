// Responsibilities: Veltaro without a window, for a shack computer with no display. It runs the
// main window's logic unchanged (start-up from the stored settings, the ticked source, the port,
// the frequency file, the 10 kHz rule) behind a window that does not exist, and tells every
// change of state as one line: the link, each relay, the port, and each message the window
// would show in a box. It never rewrites a setting it has not changed.
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
#include <functional>
#include <optional>
#include <string>

namespace veltaro {

// Writes a line for each change of state, and never the same state twice in a row.
class LineReporter : public IDialogs {
public:
    using Sink = std::function<void(const std::string& line)>;
    enum class Topic { Program, Link, Relay, Port };

    explicit LineReporter(Sink sink) : sink_(std::move(sink)) {}

    // Written unless it is the line last written on the same topic.
    void state(Topic topic, const std::string& line);
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

// The settings as the program without a window writes them. QSettings rewrites the whole file
// on every write, and the window's logic saves every key whenever a box is ticked (so also at
// start-up) and when it closes. Without a window nobody changes a setting, so such saves only
// restate what is stored: a write of the stored text is dropped, and so is the window's
// position, which a window that was never placed cannot know. What remains are the defaults of
// missing keys, which start-up writes as it always does, except that stored settings (a port is
// stored) do not gain the boxes of sources their version did not have: missing, they read as
// clear all the same.
class UnchangedSettingsSkipped : public ISettingsStore {
public:
    explicit UnchangedSettingsSkipped(ISettingsStore& store) : store_(store) {}
    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override {
        return store_.readSetting(app, section, key);
    }
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override;

private:
    ISettingsStore& store_;
    std::optional<bool> stored_; // settings were there before the first write
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
    void reportLink();
    void reportRelay();
    void reportPort();

    LineReporter reporter_;
    UnchangedSettingsSkipped settings_;
    WindowlessHost host_;
    NoHelp help_;
    MainWindow core_;
    bool portWasGone_ = false;
};

} // namespace veltaro
