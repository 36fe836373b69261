// A frequency reading as a source delivers it to the tracker: the Commander's kHz text as it
// came (its rule needs the text: an empty one counts as 0, one that is not a number is refused),
// a value in MHz, or a whole number of Hz from a source that counts in Hz (exact: no
// floating point on the way).
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace veltaro {

struct Reading {
    enum class Unit { KilohertzText, Megahertz, Hertz };
    Unit unit;
    std::string text;    // KilohertzText
    double mhz = 0;      // Megahertz
    std::int64_t hz = 0; // Hertz

    static Reading kilohertzText(std::string t) { return {Unit::KilohertzText, std::move(t)}; }
    static Reading megahertz(double v) { return {Unit::Megahertz, {}, v}; }
    static Reading hertz(std::int64_t v) { return {Unit::Hertz, {}, 0, v}; }
};

} // namespace veltaro
