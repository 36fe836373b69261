// Responsibilities: the main window's logic. It keeps a Control for every entry of the window's
// description, runs the menu commands and buttons, starts up (defaults, the restore of position,
// port and boxes, the serial port, the re-link), opens the address dialog from the context menu
// of a network source's box, saves the settings, and closes: when the
// window goes, its serial port, links and poll go with it, even while the About box keeps the
// program running. Errors that escape a step are told in a message box here, once for all
// front ends.
// Collaborations: the front end builds the window from layout::mainWindow(), mirrors controls(),
// forwards the user's actions and commands, implements IWindowHost, runs poll() every
// PollIntervalMs while pollNeeded() and reopenTick() every ReopenIntervalMs while
// reopenNeeded(), and calls portListOpening() as the port list drops down. It owns the tracker, the
// controller link, the frequency file and the source selector.
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
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/tracker.h"
#include "shell/control.h"
#include "shell/settings.h"
#include "shell/source_selector.h"
#include "shell/window_layout.h"
#include "sources/failure_notice.h"

#include <functional>
#include <string>

namespace veltaro {

struct MainWindowPlatform {
    ISerialLine& serial;
    ISettingsStore& settings;
    IFileSystem& files;
    ILinkClient& link;
    IAutomationClient& automation;
    INetwork& network;
    IClock& clock;
    IWindowHost& window;
    IDialogs& dialogs;
    ISystem& system;
    IHelp& help;
    NumberFormat format;
};

class MainWindow {
public:
    static constexpr int PollIntervalMs = 100;
    static constexpr int ReopenIntervalMs = ControllerLink::ReopenIntervalMs;
    static constexpr double CollapsedClientHeight = layout::MainCollapsedHeight;
    static constexpr double ExpandedClientHeight = layout::MainExpandedHeight;

    explicit MainWindow(MainWindowPlatform p);
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    const layout::WindowSpec& layout() const { return layout::mainWindow(); }
    ControlSet& controls() { return controls_; }
    Control& control(std::string_view name) { return controls_[name]; }

    // Start-up. The window exists, hidden, where the platform created it.
    void load();
    // The platform has placed a window that was not placed during load().
    void placed();
    // The window closes, by any route: saves the settings and lets go of port, links and poll.
    // Later calls do nothing.
    void unload();
    bool unloaded() const { return unloaded_; }

    // A menu command or a button.
    void run(layout::Command command);

    bool pollNeeded() const { return !unloaded_ && selector_.pollNeeded(); }
    void poll();
    // Told after each poll().
    Signal& polled() { return polled_; }
    // Told also when reopenNeeded() changes.
    Signal& pollStateChanged() { return selector_.pollStateChanged(); }
    // The serial device went away: reopenTick() every ReopenIntervalMs until it is back.
    bool reopenNeeded() const { return !unloaded_ && controller_.waitingForDevice(); }
    void reopenTick();
    // The user opens the port list: it shows the ports present now.
    void portListOpening();

    const FrequencyTracker& tracker() const { return tracker_; }
    // For what shows the link and the port beside the window (the headless program's report).
    SourceSelector& selector() { return selector_; }
    ControllerLink& controller() { return controller_; }

private:
    // Runs a step; an error that escapes it is told in a message box.
    void guarded(const std::function<void()>& step);
    void startUp();
    void saveAll();
    void writeMissingPositions();
    void onTopToggled();
    // The address a network source links to: the stored one, or its default when none is
    // stored or the stored text is not an address.
    NetAddress addressOf(const SourceRegistration& r);
    void editAddress(const SourceRegistration& r);

    MainWindowPlatform p_;
    ControlSet controls_;
    FailureNotice outputNotice_;
    FailureNotice settingsNotice_;
    Settings settings_;
    ControllerLink controller_;
    FrequencyFile file_;
    FrequencyTracker tracker_;
    SourceSelector selector_;
    Signal polled_;
    bool unloaded_ = false;
};

} // namespace veltaro
