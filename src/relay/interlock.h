// Responsibilities: the transmit-inhibit line. It decides from what the relay does and what is
// known of the antenna whether the radio may transmit, and drives the RTS or DTR line of a
// serial adapter of its own to say so. On the SteppIR path transmitting is inhibited from the
// moment a set frame is sent until its target is confirmed, plus 200 ms, while the status shows
// the motors running for any reason, and while the antenna's state is unknown or it does not
// answer; on the FA path, which knows nothing of the antenna, for a hold time after each command.
// On both, until the controller's port is open. The safe level is set right after the port
// opens and before it closes. A port that cannot be opened or a line that cannot be driven is
// told once and shown as failed, and opened again every second; the line is driven again every
// second, so that an adapter that went away is noticed. Nothing is shown as permitted unless the
// line was driven to permit.
// Collaborations: the relay session owns one and tells it the controller's protocol, the port's
// opening and loss, each FA command and set frame sent, and each AntennaStatus; it drives an
// IModemLine; ITimers and IClock time it; its state goes to the handler the session gives (the
// window, the headless report, the state feed); failures go to the NoticeSink.
#pragma once

#include "base/notice.h"
#include "ports/clock.h"
#include "ports/modem_line.h"
#include "ports/timers.h"
#include "relay/antenna.h"

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>

namespace veltaro {

// The settings of the transmit-inhibit line.
struct InterlockSetup {
    // Which level of the line permits transmitting. Asserted is fail-safe: a stopped program or
    // an unplugged adapter leaves the line cleared, which inhibits.
    enum class Permit { Asserted, Cleared };
    static constexpr int DefaultHoldMs = 2000;
    static constexpr int MaxHoldMs = 60000;

    std::optional<int> port; // nothing: no transmit-inhibit line
    IModemLine::Line line = IModemLine::Line::Rts;
    Permit permit = Permit::Asserted;
    int holdMs = DefaultHoldMs; // the FA path's hold after each command

    bool operator==(const InterlockSetup&) const = default;
};

struct InterlockState {
    enum class Kind { Off, Permitted, Inhibited, Failed };
    enum class Reason {
        None,
        // Inhibited:
        Starting,          // the controller's port has not been open since the start
        ControllerNotOpen, // it closed or went away
        Unknown,           // the antenna's state is not known
        NotAnswering,      // the controller does not answer status requests
        Moving,            // the status shows the motors running
        NotConfirmed,      // a target sent and not confirmed yet, or confirmed less than 200 ms ago
        Hold,              // the FA path's hold after a command
        // Failed:
        CannotOpen,
        CannotDrive,
    };
    Kind kind = Kind::Off;
    Reason reason = Reason::None;

    bool operator==(const InterlockState&) const = default;
    // "off", "permitted", "inhibited: moving", "failed: cannot drive the line", ...
    std::string text() const;
};

// The reason in a few words: "moving", "hold after a command", "cannot open", ...
const char* reasonText(InterlockState::Reason reason);

class Interlock {
public:
    enum class Path { Fa, Steppir };
    using StateHandler = std::function<void(const InterlockState&)>;

    static constexpr int SettleMs = 200; // after a target is confirmed
    static constexpr int RetryMs = 1000; // opening again after a failure; driving again

    Interlock(IModemLine& line, ITimers& timers, IClock& clock, NoticeSink notices);
    // Leaves the line at the inhibit level and closes it.
    ~Interlock();
    Interlock(const Interlock&) = delete;
    Interlock& operator=(const Interlock&) = delete;

    void setStateHandler(StateHandler onState) { onState_ = std::move(onState); }

    // Opens the line of the setup (none: Off) and sets the inhibit level; stops any earlier
    // start first.
    void start(const InterlockSetup& setup, Path path);
    // Leaves the line at the inhibit level, then closes it: Off.
    void stop();

    void setPath(Path path);
    void controllerOpened();
    void controllerClosed();
    void antennaChanged(const AntennaStatus& status);
    // An FA command reached the controller's port.
    void faCommandSent();
    // A set frame for the target (Hz; confirmed by a status whose target is within 10 Hz of it)
    // reached the controller's port.
    void setFrameSent(std::int64_t targetHz);

    const InterlockState& state() const { return state_; }

private:
    static constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::min();

    InterlockState::Reason inhibitReason(std::int64_t now) const;
    InterlockState::Reason antennaReason(std::int64_t now) const;
    bool permitLevel() const { return setup_.permit == InterlockSetup::Permit::Asserted; }
    void update();
    void drive(bool level);
    void openLine();
    void fail(InterlockState::Reason reason, const std::string& detail);
    void retry();
    void armDeadline(std::int64_t now);
    void publish(InterlockState state);

    IModemLine& line_;
    IClock& clock_;
    NoticeSink notices_;
    StateHandler onState_;
    std::unique_ptr<ITimer> deadline_; // the end of a hold or of the settling time
    std::unique_ptr<ITimer> retry_;

    InterlockSetup setup_;
    Path path_ = Path::Fa;
    bool started_ = false;
    bool controllerOpen_ = false;
    bool controllerWasOpen_ = false; // since the start
    AntennaStatus antenna_;
    std::optional<std::int64_t> pendingHz_; // the target of the last set frame, until confirmed
    std::int64_t settleUntil_ = Never;
    std::int64_t holdUntil_ = Never;
    std::optional<bool> driven_; // the level last driven since the port opened
    std::optional<InterlockState::Reason> failure_;
    bool told_ = false; // the failure has been told
    InterlockState state_;
};

} // namespace veltaro
