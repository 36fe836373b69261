// Responsibilities: the relay session, the application itself, with no view in it. It owns the
// settings, the controller link, the frequency file, the tracker, the source selector and the
// timers that poll the chosen source and reopen a controller's device that went away. It
// starts up (the program without a window from the stored settings alone; the window's model
// step by step), takes each reading of the chosen source through the 10 kHz rule, sends the
// command before anything else, then writes PEGASUS.OUT, and ends. It tells its observers, in
// this order of truth: each relay's command, once it reached the wire or failed to; the link;
// the port; and the notices for the user.
// Collaborations: the front ends build it from the platform's adapters (SessionPorts); the main
// window's model and the headless report observe it and call it; nothing here knows a window.
#pragma once

#include "app/failure_notice.h"
#include "app/settings.h"
#include "app/source_selector.h"
#include "app/state_feed.h"
#include "base/notice.h"
#include "base/numbers.h"
#include "ports/automation.h"
#include "ports/clock.h"
#include "ports/file_system.h"
#include "ports/link_client.h"
#include "ports/modem_line.h"
#include "ports/network.h"
#include "ports/serial_line.h"
#include "ports/settings_store.h"
#include "ports/timers.h"
#include "relay/antenna.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/interlock.h"
#include "relay/tracker.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace veltaro {

struct SessionPorts {
    ISerialLine& serial;
    ISettingsStore& settings;
    IFileSystem& files;
    ILinkClient& link;
    IAutomationClient& automation;
    INetwork& network;
    IClock& clock;
    ITimers& timers;
    NumberFormat format;
    // The transmit-inhibit line's port; nothing: this build has none.
    IModemLine* interlockLine = nullptr;
};

// The controller's port as the user sees it.
struct PortStatus {
    std::string label; // "COM 5", or a present device's name
    bool open = false;
    bool waitingForDevice = false; // its device went away; it is opened again when it is back
};

// The port stored in the settings: its number and the text it was stored as.
struct StoredPort {
    int number = 1;
    std::string text = "1";
};

class SessionObserver {
public:
    virtual ~SessionObserver() = default;
    // A relay's command, right after it was written to the controller's line or failed to be:
    // before the file is written and before any display is told.
    virtual void commandSent(const ControllerLink::SendOutcome& outcome,
                             const std::string& mhzText) {
        (void)outcome;
        (void)mhzText;
    }
    // A reading of the chosen source was taken: the kHz received and the kHz last relayed.
    virtual void readingTaken(std::int32_t receivedKHz, std::int32_t relayedKHz) {
        (void)receivedKHz;
        (void)relayedKHz;
    }
    virtual void linkChanged(const LinkStatus& status) { (void)status; }
    // What is known of the antenna changed.
    virtual void antennaChanged(const AntennaStatus& status) { (void)status; }
    // The transmit-inhibit line changed.
    virtual void interlockChanged(const InterlockState& state) { (void)state; }
    virtual void portChanged(const PortStatus& status) { (void)status; }
    virtual void noticed(const Notice& notice) { (void)notice; }
};

class RelaySession {
public:
    static constexpr int PollIntervalMs = 100;
    static constexpr int ReopenIntervalMs = ControllerLink::ReopenIntervalMs;

    explicit RelaySession(SessionPorts ports);
    ~RelaySession();
    RelaySession(const RelaySession&) = delete;
    RelaySession& operator=(const RelaySession&) = delete;

    // Observers are told in the order they were added; each must outlive the session or the
    // end of its telling.
    void addObserver(SessionObserver& observer) { observers_.push_back(&observer); }

    // The program without a window: chooses the source the settings tick (the last ticked one,
    // as restoring the boxes would), then opens the port and links. Writes no setting.
    void start();
    // The end of every start-up: the stored port is opened, the 10 kHz rule starts afresh and a
    // chosen source that links at once is linked again, so that its value is relayed to the
    // open port.
    void openPortAndRelink(const StoredPort& port);
    // The program ends: lets go of the source and the port. Later calls do nothing.
    void end();
    bool ended() const { return ended_; }

    Settings& settings() { return settings_; }
    NumberFormat format() const { return format_; }
    StoredPort storedPort();

    // The sources, by the order of their registrations.
    bool choose(SourceId id);
    void clear(SourceId id);
    std::optional<SourceId> chosen() const { return selector_.chosen(); }
    const LinkStatus& link() const { return selector_.status(); }
    // Where a network source links: the stored address, or its default when none is stored or
    // the stored text is not an address.
    NetAddress addressOf(const SourceRegistration& r);
    // Stores the source's address; the chosen source links to it at once.
    void setAddress(const SourceRegistration& r, const NetAddress& address);
    bool canListenOn(const std::string& host) { return network_.canListenOn(host); }

    // The controller's port: the port list, the picks, the stored number.
    ControllerLink& controller() { return controller_; }
    // How the controller is spoken to, as stored. Setting it stores what changed and takes
    // effect at once: the port is opened again at the protocol's baud rate.
    const ControllerSetup& controllerSetup() const { return setup_; }
    void setControllerSetup(const ControllerSetup& setup);
    // What is known of the antenna: nothing on the FA path.
    const AntennaStatus& antenna() const { return antenna_; }
    // The transmit-inhibit line, as stored; setting it stores what changed and opens the line
    // again. Its port may not be the controller's: that is refused with a notice, and it is off.
    const InterlockSetup& interlockSetup() const { return interlockSetup_; }
    void setInterlockSetup(const InterlockSetup& setup);
    const InterlockState& interlock() const { return interlockState_; }
    // What the state feed sends now.
    FeedSnapshot feedSnapshot() const;
    PortStatus port() const;

    const FrequencyTracker& tracker() const { return tracker_; }

private:
    void tell(const Notice& notice);
    void take(const Reading& reading);
    // The protocol's part: the closed loop on the SteppIR path, nothing known on the FA path.
    void useProtocol();
    // The relayed frequency goes out again after the protocol changed.
    void sendRelayedAgain();
    bool sendToController(const std::string& bytes);
    void portStateChanged();
    void setAntenna(const AntennaStatus& status);
    void startInterlock();
    Interlock::Path path() const;
    void updateFeed();
    void writeFile(const std::string& mhzText);
    void runTimers();
    template <class F> void each(F f) {
        for (SessionObserver* o : observers_)
            f(*o);
    }

    NumberFormat format_;
    INetwork& network_;
    std::vector<SessionObserver*> observers_;
    FailureNotice outputNotice_;
    FailureNotice settingsNotice_;
    Settings settings_;
    ControllerLink controller_;
    FrequencyFile file_;
    FrequencyTracker tracker_;
    SourceSelector selector_;
    ControllerSetup setup_;
    IClock& clock_;
    ITimers& timers_;
    std::unique_ptr<AntennaLoop> loop_; // the SteppIR path only
    bool portOpen_ = false;             // as the loop was last told
    AntennaStatus antenna_;
    InterlockSetup interlockSetup_;
    InterlockState interlockState_;
    std::unique_ptr<Interlock> interlock_; // when the build has a line for it
    StateFeed feed_;
    bool radioKnown_ = false; // a reading has been taken
    std::unique_ptr<ITimer> pollTimer_;
    std::unique_ptr<ITimer> reopenTimer_;
    bool ended_ = false;
};

} // namespace veltaro
