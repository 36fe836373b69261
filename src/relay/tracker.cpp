#include "relay/tracker.h"

#include "platform/errors.h"
#include "relay/convert.h"

#include <exception>
#include <limits>

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
    } else if (reading.unit == Reading::Unit::Hertz) {
        // Whole Hz: floored to kHz in integers, so that 14074999 Hz is 14074 kHz, never 14075.
        const std::int64_t khz = reading.hz / 1000 - (reading.hz % 1000 < 0 ? 1 : 0);
        if (khz < std::numeric_limits<std::int32_t>::min() ||
            khz > std::numeric_limits<std::int32_t>::max())
            throw OverflowError("Overflow");
        receivedKHz_ = static_cast<std::int32_t>(khz);
        // The MHz text has six decimals below 100 MHz, five above: rounded here, half up, so
        // that the double it goes through holds the decimals that are printed.
        const std::int64_t shown =
            reading.hz >= 100'000'000 ? (reading.hz + 5) / 10 * 10 : reading.hz;
        apply(receivedKHz_, static_cast<double>(shown) / 1e6);
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
