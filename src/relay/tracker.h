// Responsibilities: the frequency tracker, the 10 kHz rule. It turns each reading into whole
// kHz and decides whether it is relayed: when it is 10 kHz or more from the frequency last
// relayed. A relay carries the kHz and the MHz text the outputs need.
// Collaborations: the relay session hands it every reading of the chosen source and drives the
// controller command and the frequency file from its decision; it knows nothing of either.
#pragma once

#include "base/numbers.h"
#include "relay/reading.h"

#include <cstdint>
#include <optional>
#include <string>

namespace veltaro {

class FrequencyTracker {
public:
    static constexpr std::int32_t RelayStepKHz = 10;

    struct Relay {
        std::int32_t khz;
        std::string mhzText; // "14.074000"
    };
    struct Outcome {
        std::int32_t receivedKHz;
        std::optional<Relay> relay; // set when the reading is relayed
    };

    explicit FrequencyTracker(NumberFormat fmt) : fmt_(fmt) {}

    // Takes a reading: nothing when it cannot be used (not a number, out of range), and then
    // nothing changes.
    std::optional<Outcome> take(const Reading& reading);

    // Start-up: the next reading of 10 kHz or more is relayed.
    void forgetRelayed() { relayedKHz_ = 0; }

    std::int32_t receivedKHz() const { return receivedKHz_; }
    std::int32_t relayedKHz() const { return relayedKHz_; }
    const std::string& relayedMhzText() const { return mhzText_; }

private:
    std::optional<Outcome> apply(std::int32_t newKHz, double mhz);

    NumberFormat fmt_;
    std::int32_t receivedKHz_ = 0;
    std::int32_t relayedKHz_ = 0;
    std::string mhzText_;
};

} // namespace veltaro
