// The number formats for any value: the MHz text reads back to its decimals, the frequency command
// carries the kHz as eight digits at least, the 15-digit rounding of readings keeps 15
// significant digits, and the whole-number conversions give the C library's result or, exactly
// when it is out of range, nothing.
//
// The input: a byte (bit 0 the decimal comma), a double, two 32-bit kHz.
#include "fuzz_support.h"

#include "base/numbers.h"
#include "relay/controller_link.h"

#include <limits>

using namespace veltaro;
using namespace veltaro::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto in = takeInput(data, size);
    if (!in)
        return 0;
    const NumberFormat fmt = in->fmt;
    const double v = take<double>(in->rest), a = std::fabs(v);
    const std::int32_t khz = take<std::int32_t>(in->rest), other = take<std::int32_t>(in->rest);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);

    // The MHz text: digits, separator and sign only; read back it gives the value to the shown
    // decimals. Its shapes by range are the Convert.FormatsMHzText rows.
    if (std::isfinite(v) && a < 1e15) {
        const std::string text = formatMHzText(v, fmt).value_or("none");
        const auto back = parseNumber(text, fmt);
        FUZZ_CHECK(text.find_first_not_of(std::string("0123456789-") + fmt.decimal) == text.npos &&
                       back && near(*back, v, (a < 100 ? 0.5e-6 : 0.5e-5) * 1.000001),
                   buf + (" text " + show(text)));
    }

    // "FA", the kHz as eight digits at least (zero-padded, no other leading zero), "000;".
    char want[24];
    std::snprintf(want, sizeof want, "FA%s%08lld000;", khz < 0 ? "-" : "",
                  std::llabs(static_cast<long long>(khz)));
    FUZZ_CHECK(ControllerLink::frequencyCommand(khz) == want,
               std::to_string(khz) + " gave " + show(ControllerLink::frequencyCommand(khz)));

    // Within half a unit of the 15th significant digit, written with 15 digits, and what the
    // 15-digit text reads back as. Rounded to 15 digits, the largest doubles would be beyond the
    // double range; subnormal values are not kept.
    if (std::isfinite(v) && a <= 1.79769313486231e308 && a >= 1e-300) {
        const double r = roundTo15Digits(v).value_or(NAN);
        char rbuf[40];
        std::snprintf(rbuf, sizeof rbuf, "%.15g", r);
        FUZZ_CHECK(std::fabs(r - v) <= 5.2e-15 * a && std::strtod(rbuf, nullptr) == r,
                   buf + (" rounded " + std::to_string(r)));
    }

    // Whole numbers: the nearest (halves to even), the floor of the kHz, the difference; nothing
    // exactly when the result is outside the type's range (or not a number).
    const auto expect = [](auto got, double exact) { // NaN fits no range
        using T = typename decltype(got)::value_type;
        using L = std::numeric_limits<T>;
        return got ==
               (exact >= L::min() && exact <= L::max() ? std::optional(T(exact)) : std::nullopt);
    };
    FUZZ_CHECK(expect(roundToInt32(v), std::nearbyint(v)) &&
                   expect(roundToInt16(v), std::nearbyint(v)) &&
                   expect(floorKHzFromMHz(v), std::floor(v * 1000.0)) &&
                   expect(checkedSub(khz, other), double(khz) - double(other)),
               buf + (" and " + std::to_string(khz) + " - " + std::to_string(other)));
    return 0;
}
