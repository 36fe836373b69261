// A frequency reading as a source delivers it to the tracker: the Commander's kHz text as it
// came (its rule needs the text: an empty one counts as 0, one that is not a number is refused),
// or a value in MHz.
#pragma once

#include <string>
#include <utility>

namespace veltaro {

struct Reading {
    enum class Unit { KilohertzText, Megahertz };
    Unit unit;
    std::string text; // KilohertzText
    double mhz = 0;   // Megahertz

    static Reading kilohertzText(std::string t) { return {Unit::KilohertzText, std::move(t)}; }
    static Reading megahertz(double v) { return {Unit::Megahertz, {}, v}; }
};

} // namespace veltaro
