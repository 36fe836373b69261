// Responsibilities: what is known of the antenna, and the closed loop that moves it over the
// controller's own protocol. On the FA path nothing is known ("no feedback on Data In"). On the
// SteppIR path the relayed frequency becomes a target, rounded to 10 Hz, with the chosen
// direction: only the newest target is sent, never a queue, with at least 100 ms between frames;
// the status is asked for every 1.5 s at most when idle and every 300 ms at most while the
// target is not confirmed, one request at a time. A target is reached when the status shows its
// frequency (within 10 Hz), the motors stopped and the right direction on two replies in a row.
// A set frame after which nothing moved within 3 s is sent again; after 3 tries, or no arrival
// within 60 s, the user is told once and the loop goes on at the slow rate. Three status
// requests without an answer make the antenna "not answering". Whatever the status says is what
// is shown: the radio on Data In may move the antenna too, and is never fought. A controller
// re-plugged or restarted makes the state unknown, and on its return the current target is sent
// again.
// Collaborations: the relay session owns one, hands it each relay (setTarget), the port's
// opening and loss, and the bytes the controller sends; it writes through the send function it
// is given; ITimers and IClock time it; AntennaStatus goes to the session's observers.
#pragma once

#include "base/notice.h"
#include "ports/clock.h"
#include "ports/timers.h"
#include "protocols/steppir_frames.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veltaro {

struct AntennaStatus {
    enum class State {
        NoFeedback,   // the FA path: nothing is known of the antenna
        Unknown,      // no status yet, or the controller came back after a loss
        Moving,       // the motors run, or a target is not yet confirmed nor given up on
        Tuned,        // the motors stopped, with the target confirmed, none set, or the user
                      // told it was not reached (the frequency shows where the elements are)
        NotAnswering, // three status requests without an answer
    };
    State state = State::NoFeedback;
    std::optional<std::int64_t> hz;              // where the elements are set, as the status says
    std::optional<std::int64_t> targetHz;        // the newest target sent, rounded to 10 Hz
    std::optional<steppir::Direction> direction; // as the status says; nothing: unknown
    std::uint8_t directionByte = 0;              // the raw byte, for an unknown direction
    bool motorsRunning = false;

    bool operator==(const AntennaStatus&) const = default;
};

class AntennaLoop {
public:
    // Writes bytes to the controller; false when they could not be written.
    using Send = std::function<bool(const std::string& bytes)>;
    using StatusHandler = std::function<void(const AntennaStatus&)>;

    static constexpr int MinFrameGapMs = 100;
    static constexpr int IdlePollMs = 1500;
    static constexpr int BusyPollMs = 300;
    static constexpr int ResendAfterMs = 3000;
    static constexpr int MaxTries = 3;
    static constexpr int ArrivalLimitMs = 60000;
    static constexpr int MaxUnanswered = 3;

    AntennaLoop(IClock& clock, ITimers& timers, NoticeSink notices, Send send,
                steppir::Direction direction);
    ~AntennaLoop();
    AntennaLoop(const AntennaLoop&) = delete;
    AntennaLoop& operator=(const AntennaLoop&) = delete;

    void setStatusHandler(StatusHandler onStatus);
    // The chosen direction; a change sends the current target again with it.
    void setDirection(steppir::Direction direction);

    // A relay: the newest target.
    void setTarget(std::int64_t hz);
    // The port opened (again): the state is unknown, the current target is sent again and the
    // status asked for.
    void portOpened();
    // The port closed or went away: unknown, nothing is asked until it opens.
    void portClosed();
    // Bytes the controller sent.
    void received(std::string_view bytes);

    const AntennaStatus& status() const { return status_; }

private:
    struct State;
    std::unique_ptr<State> s_;
    AntennaStatus status_;
};

// The antenna's state in words, for the window and the report without one: "no feedback on Data
// In", "unknown", "not answering", "moving to 14.225 MHz", "tuned to 14.074 MHz", with the
// direction after a comma when it is not normal ("180°", "bi-directional", "3/4 wave",
// "direction unknown (0x60)").
std::string describeAntenna(const AntennaStatus& status);
// A frequency in Hz as MHz with three decimals at least and more only for what is below 1 kHz:
// "14.074", "7.00012".
std::string antennaMHzText(std::int64_t hz);

} // namespace veltaro
