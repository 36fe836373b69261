#include "relay/tracker.h"

#include "platform/errors.h"
#include "relay/convert.h"

#include <exception>

namespace veltaro {

FrequencyTracker::FrequencyTracker(Display display, ControllerLink& controller, FrequencyFile& file,
                                   NumberFormat fmt)
    : display_(display), controller_(controller), file_(file), fmt_(fmt) {}

void FrequencyTracker::update(const Reading& reading) {
    if (reading.unit == Reading::Unit::KilohertzText) {
        // The Commander's text: kHz rounded half to even; an empty text counts as 0.
        const double khz = parseNumber(reading.text.empty() ? "0" : reading.text, fmt_);
        receivedKHz_ = roundToInt32(khz);
        apply(receivedKHz_, khz / 1000.0);
    } else {
        receivedKHz_ = floorKHzFromMHz(reading.mhz);
        apply(receivedKHz_, reading.mhz);
    }
}

void FrequencyTracker::refreshDisplays() {
    display_.received.setText(std::to_string(receivedKHz_));
    display_.relayed.setText(std::to_string(relayedKHz_));
}

void FrequencyTracker::apply(std::int32_t newKHz, double mhz) {
    const std::int32_t distance = checkedSub(newKHz, relayedKHz_);
    if (distance >= RelayStepKHz || distance <= -RelayStepKHz) {
        // The MHz text is made (and may fail) before anything is changed.
        std::string text = formatMHzText(mhz, fmt_);
        relayedKHz_ = newKHz;
        mhzText_ = std::move(text);
        display_.mhzText.setText(mhzText_);
        // A failing output must neither leave the display stale nor keep the file behind: both
        // outputs are tried, the displays refreshed, and then the first failure is passed on.
        std::exception_ptr failure;
        try {
            controller_.sendFrequency(relayedKHz_);
        } catch (const Error&) {
            failure = std::current_exception();
        }
        try {
            file_.write(mhzText_);
        } catch (const Error&) {
            if (!failure)
                failure = std::current_exception();
        }
        if (failure) {
            refreshDisplays();
            std::rethrow_exception(failure);
        }
        ++relays_;
    }
    refreshDisplays();
}

} // namespace veltaro
