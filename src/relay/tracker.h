// The frequency tracker: turns each reading into whole kHz, applies the change rule (a relay
// when the reading is 10 kHz or more from the frequency last relayed), makes the MHz text and
// drives the controller command and the frequency file. The two kHz displays are refreshed on
// every reading.
#pragma once

#include "platform/system.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/reading.h"
#include "shell/control.h"

#include <cstdint>
#include <string>

namespace veltaro {

class FrequencyTracker {
public:
    static constexpr std::int32_t RelayStepKHz = 10;

    struct Display {
        Control& received; // kHz of the latest reading
        Control& relayed;  // kHz last relayed
        Control& mhzText;  // MHz text last relayed
    };

    FrequencyTracker(Display display, ControllerLink& controller, FrequencyFile& file,
                     NumberFormat fmt);

    // Raises ConversionError or OverflowError for a reading it cannot use, and the error of a
    // failed output after both outputs were tried and the displays refreshed.
    void update(const Reading& reading);

    // Start-up: the next reading of 10 kHz or more is relayed.
    void forgetRelayed() { relayedKHz_ = 0; }

    std::int32_t receivedKHz() const { return receivedKHz_; }
    std::int32_t relayedKHz() const { return relayedKHz_; }
    const std::string& relayedMhzText() const { return mhzText_; }
    // Relays completed without a failing output.
    std::uint64_t relays() const { return relays_; }

private:
    void apply(std::int32_t newKHz, double mhz);
    void refreshDisplays();

    Display display_;
    ControllerLink& controller_;
    FrequencyFile& file_;
    NumberFormat fmt_;
    std::int32_t receivedKHz_ = 0;
    std::int32_t relayedKHz_ = 0;
    std::string mhzText_;
    std::uint64_t relays_ = 0;
};

} // namespace veltaro
