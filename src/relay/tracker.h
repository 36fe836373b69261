// The frequency tracker: turns each reading into whole kHz, applies the 10 kHz change rule,
// makes the MHz text and drives the controller command and the frequency file.
#pragma once

#include "platform/controls.h"
#include "platform/system.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"

#include <cstdint>
#include <string>

namespace veltaro {

class Tracker {
public:
    Tracker(Label& Label7, Label& Label3, TextBox& Text3, ControllerLink& link, FrequencyFile& file,
            NumberFormat fmt);

    // Each reads its member (set by the caller just before), and raises ConversionError,
    // OverflowError or the file's error. When the file fails, the labels are still refreshed.
    void UpdateFromCommander();
    void UpdateFromTRX();
    void UpdateFromHRD();

    std::string CommanderFreq;
    std::string TrxFreq;
    std::string HrdFreq;
    std::int32_t NewKHz = 0;
    std::int32_t LastSentKHz = 0;
    std::string FreqMHzText;
    std::string FreqKHzDigits;
    // Relays completed without a failing output.
    std::uint64_t Relays = 0;

private:
    void apply(std::int32_t newKHz, double mhz);
    void refreshLabels();

    Label& label7_;
    Label& label3_;
    TextBox& text3_;
    ControllerLink& link_;
    FrequencyFile& file_;
    NumberFormat fmt_;
};

} // namespace veltaro
