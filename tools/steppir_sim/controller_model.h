// Responsibilities: the antenna controller as the simulator plays it: reads the host's set
// frames and status requests from its computer port, moves the elements toward the frequency
// set at a given speed (motors running meanwhile), reports FF (busy) for a while after each
// frame, drops some set frames when asked, and answers in the way the chosen peer would
// (properly, not at all, echoing, or with junk between replies). Time is given by the caller.
// Collaborations: main.cpp carries its bytes over a pty or TCP; protocols/steppir_frames holds
// the frames; each frame received is logged through the function given, one line each.
#pragma once

#include "protocols/steppir_frames.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace veltaro::sim {

using Clock = std::chrono::steady_clock;

enum class Peer { Proper, Silent, Echo, Junk, Flood };

struct ModelOptions {
    double khzPerS = 50;
    std::int64_t startHz = 14000000;
    int dropEvery = 0; // every Nth set frame ignored (0: none)
    int dropFirst = 0; // the first K set frames ignored
    Peer peer = Peer::Proper;
};

class ControllerModel {
public:
    static constexpr auto BusyTime = std::chrono::milliseconds(100);

    ControllerModel(const ModelOptions& options, std::function<void(const std::string&)> log);

    // Reads what the host sent; returns what the controller sends back.
    std::string receive(std::string_view bytes, Clock::time_point now);
    // Moves the elements up to now; true while busy or moving (the caller looks again soon).
    bool advance(Clock::time_point now);
    // The status reply as of now.
    std::string status(Clock::time_point now);
    // Bytes for a peer that floods: replies with junk between them.
    std::string floodBlock(Clock::time_point now);
    // A new host: half-read requests are forgotten.
    void resetLink() { pending_.clear(); }

private:
    void setFrame(const steppir::SetFrame& frame, Clock::time_point now);
    std::string junk();

    ModelOptions options_;
    std::function<void(const std::string&)> log_;
    std::string pending_; // the start of a request still to come
    double hz_;           // where the elements are
    std::int64_t targetHz_;
    std::uint8_t directionByte_ = 0;
    bool autotrack_ = false;
    bool moving_ = false;
    Clock::time_point busyUntil_{}, movedTo_{};
    int setFrames_ = 0, junkCount_ = 0;
};

} // namespace veltaro::sim
