#include "relay/tracker.h"

#include <limits>

namespace veltaro {

namespace {

// The kHz and the MHz value of a reading; nothing when it cannot be used.
struct Taken {
    std::int32_t khz;
    double mhz;
};

std::optional<Taken> kilohertzText(const std::string& text, NumberFormat fmt) {
    // The Commander's text: kHz rounded half to even; an empty text counts as 0.
    const auto khz = parseNumber(text.empty() ? "0" : text, fmt);
    const auto rounded = khz ? roundToInt32(*khz) : std::nullopt;
    if (!rounded)
        return std::nullopt;
    return Taken{*rounded, *khz / 1000.0};
}

std::optional<Taken> hertz(std::int64_t hz) {
    // Whole Hz: floored to kHz in integers, so that 14074999 Hz is 14074 kHz, never 14075.
    const std::int64_t khz = hz / 1000 - (hz % 1000 < 0 ? 1 : 0);
    if (khz < std::numeric_limits<std::int32_t>::min() ||
        khz > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    // The MHz text has six decimals below 100 MHz, five above: rounded here, half up, so that
    // the double it goes through holds the decimals that are printed.
    const std::int64_t shown = hz >= 100'000'000 ? (hz + 5) / 10 * 10 : hz;
    return Taken{static_cast<std::int32_t>(khz), static_cast<double>(shown) / 1e6};
}

std::optional<Taken> megahertz(double mhz) {
    const auto khz = floorKHzFromMHz(mhz);
    if (!khz)
        return std::nullopt;
    return Taken{*khz, mhz};
}

} // namespace

std::optional<FrequencyTracker::Outcome> FrequencyTracker::take(const Reading& reading) {
    std::optional<Taken> taken;
    switch (reading.unit) {
    case Reading::Unit::KilohertzText:
        taken = kilohertzText(reading.text, fmt_);
        break;
    case Reading::Unit::Hertz:
        taken = hertz(reading.hz);
        break;
    case Reading::Unit::Megahertz:
        taken = megahertz(reading.mhz);
        break;
    }
    return taken ? apply(taken->khz, taken->mhz) : std::nullopt;
}

std::optional<FrequencyTracker::Outcome> FrequencyTracker::apply(std::int32_t newKHz, double mhz) {
    // The reading counts as received even when its distance from the last relay cannot be
    // told, though nothing else happens then.
    receivedKHz_ = newKHz;
    const auto distance = checkedSub(newKHz, relayedKHz_);
    if (!distance)
        return std::nullopt;
    Outcome outcome{newKHz, std::nullopt};
    if (*distance >= RelayStepKHz || *distance <= -RelayStepKHz) {
        auto text = formatMHzText(mhz, fmt_);
        if (!text)
            return std::nullopt;
        relayedKHz_ = newKHz;
        mhzText_ = *text;
        outcome.relay = Relay{newKHz, std::move(*text)};
    }
    return outcome;
}

} // namespace veltaro
