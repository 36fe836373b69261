// Responsibilities: the main window's model. It keeps a Control for every entry of the window's
// description and turns the relay session's events into their states (the two frequencies, the
// link shown on the received box, the antenna's line, standing out while the antenna moves, the
// transmit-inhibit line's state, standing out as an alarm while the radio must not transmit or
// the line failed, the boxes, the port lists) and the user's actions into session calls: a box
// ticked or cleared chooses or clears its source, a pick from the port list opens that port
// ("Network controller..." asks for a serial server's address and opens it, or puts the list
// back on the port in use), a pick from the controller's lists (protocol, baud rate, direction;
// the last two greyed on the FA path) sets how the controller is spoken to, a pick from the
// transmit-inhibit line's lists (port, line, permit level, hold; the hold greyed on the SteppIR
// path) sets up that line, a right click on a network source's box edits its address.
// It starts the window up (the defaults of missing settings, the restore of position, port,
// controller and transmit-inhibit lists and boxes, each box's handling nested in its restore,
// then the port and the link), saves the settings in their fixed order whenever a box is ticked
// and at every close (the controller's and the transmit-inhibit line's keys only as the user
// picks), and runs the menu commands and buttons.
// Errors that escape a user's step are told in a message box here, once for every front end.
// Collaborations: the front end builds the window from layout(), mirrors controls(), forwards
// the user's actions and commands, implements IWindowHost and calls portListOpening() as a list
// drops down; RelaySession does the work; IDialogs shows the session's notices.
#pragma once

#include "app/relay_session.h"
#include "ports/launcher.h"
#include "view/control.h"
#include "view/dialogs.h"
#include "view/window_host.h"
#include "view/window_layout.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

struct MainWindowPorts {
    IWindowHost& window;
    IDialogs& dialogs;
    IManual& manual;
};

class MainWindowModel : public SessionObserver {
public:
    static constexpr double CollapsedClientHeight = layout::MainCollapsedHeight;
    static constexpr double ExpandedClientHeight = layout::MainExpandedHeight;

    MainWindowModel(RelaySession& session, MainWindowPorts p);
    MainWindowModel(const MainWindowModel&) = delete;
    MainWindowModel& operator=(const MainWindowModel&) = delete;

    const layout::WindowSpec& layout() const { return layout::mainWindow(); }
    ControlSet& controls() { return controls_; }
    Control& control(std::string_view name) { return controls_[name]; }
    RelaySession& session() { return session_; }

    // Start-up. The window exists, hidden, where the platform created it.
    void load();
    // The platform has placed a window that was not placed during load().
    void placed();
    // The window closes, by any route: saves the settings and ends the session. Later calls do
    // nothing.
    void unload();
    bool unloaded() const { return unloaded_; }

    // A menu command or a button.
    void run(layout::Command command);
    // The user opens a list: the port lists show the ports present now.
    void portListOpening();

    void commandSent(const ControllerLink::SendOutcome& outcome,
                     const std::string& mhzText) override;
    void readingTaken(std::int32_t receivedKHz, std::int32_t relayedKHz) override;
    void linkChanged(const LinkStatus& status) override;
    void antennaChanged(const AntennaStatus& status) override;
    void interlockChanged(const InterlockState& state) override;
    void noticed(const Notice& notice) override;

private:
    // Runs a step; an error that escapes it is told in a message box.
    void guarded(const std::function<void()>& step);
    void startUp();
    void writeMissingDefaults();
    void saveAll();
    void writeMissingPositions();
    void onTopToggled();
    void onBoxToggled(SourceId id, Control& box);
    void onPortPicked();
    void onControllerPicked();
    void showControllerSetup(const ControllerSetup& setup);
    void showPortInUse();
    void refreshPortLists();
    void askForNetworkController();
    void fillInterlockPorts();
    void showInterlockSetup(const InterlockSetup& setup);
    void onInterlockPicked();
    void editAddress(const SourceRegistration& r, const Control& box);

    RelaySession& session_;
    MainWindowPorts p_;
    ControlSet controls_;
    // Told on every reading: found once.
    Control& received_;
    Control& relayed_;
    Control& antenna_;
    // The transmit-inhibit line's port and hold for each item of their lists.
    std::vector<std::optional<int>> interlockPorts_;
    std::vector<int> interlockHolds_;
    bool unloaded_ = false;
    // A box is being ticked: the boxes it clears only save, the session stops their sources.
    bool switching_ = false;
};

} // namespace veltaro
