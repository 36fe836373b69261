#include "relay/tracker.h"

#include "platform/errors.h"
#include "relay/convert.h"

#include <exception>

namespace veltaro {

Tracker::Tracker(Label& Label7, Label& Label3, TextBox& Text3, ControllerLink& link,
                 FrequencyFile& file, NumberFormat fmt)
    : label7_(Label7), label3_(Label3), text3_(Text3), link_(link), file_(file), fmt_(fmt) {}

void Tracker::UpdateFromCommander() {
    if (CommanderFreq.empty())
        CommanderFreq = "0";
    const double khz = parseNumber(CommanderFreq, fmt_);
    NewKHz = roundToInt32(khz);
    apply(NewKHz, khz / 1000.0);
}

void Tracker::UpdateFromTRX() {
    const double mhz = parseNumber(TrxFreq, fmt_);
    NewKHz = floorKHzFromMHz(mhz);
    apply(NewKHz, mhz);
}

void Tracker::UpdateFromHRD() {
    const double mhz = parseNumber(HrdFreq, fmt_);
    NewKHz = floorKHzFromMHz(mhz);
    apply(NewKHz, mhz);
}

void Tracker::refreshLabels() {
    label7_.setCaption(std::to_string(NewKHz));
    label3_.setCaption(std::to_string(LastSentKHz));
}

void Tracker::apply(std::int32_t newKHz, double mhz) {
    const std::int64_t d = checkedSub(newKHz, LastSentKHz);
    if (d > 9 || d < -9) {
        // The MHz text is made (and may fail) before anything is changed.
        std::string text = formatMHzText(mhz, fmt_);
        LastSentKHz = newKHz;
        FreqMHzText = std::move(text);
        text3_.setText(FreqMHzText);
        FreqKHzDigits = formatKHzDigits(LastSentKHz);
        // A failing output must neither leave the display stale nor keep the file behind: both
        // outputs are tried, the labels refreshed, and then the first failure is passed on.
        std::exception_ptr failure;
        try {
            link_.SendFrequencyCommand(FreqKHzDigits);
        } catch (const Error&) {
            failure = std::current_exception();
        }
        try {
            file_.UpdatePegasus(FreqMHzText);
        } catch (const Error&) {
            if (!failure)
                failure = std::current_exception();
        }
        if (failure) {
            refreshLabels();
            std::rethrow_exception(failure);
        }
        ++Relays;
    }
    refreshLabels();
}

} // namespace veltaro
