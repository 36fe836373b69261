// The number formats: the MHz text, the fixed-decimal format, the eight kHz digits, the
// 15-digit decimal text and the 7-digit float text, each read back.
#include "fuzz_support.h"

#include "platform/errors.h"
#include "relay/convert.h"

#include <cstring>

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

template <typename T> T take(const std::uint8_t*& p, std::size_t& left) {
    T v{};
    const std::size_t n = left < sizeof(T) ? left : sizeof(T);
    std::memcpy(&v, p, n);
    p += n;
    left -= n;
    return v;
}

// Read a formatted text back; a format must always give text that the reading accepts.
double readBack(const std::string& text, NumberFormat fmt, const std::string& where) {
    try {
        return parseNumber(text, fmt);
    } catch (const Error& e) {
        fail("formatted text reads back", where + " text " + show(text) + ": " + e.what());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const NumberFormat fmt{(data[0] & 1) ? ',' : '.'};
    const int decimals = (data[0] >> 1) % 8;
    const std::uint8_t* p = data + 1;
    std::size_t left = size - 1;
    const double v = take<double>(p, left);
    const std::int32_t khz = take<std::int32_t>(p, left);
    const float f = take<float>(p, left);
    char vbuf[40];
    std::snprintf(vbuf, sizeof vbuf, "%.17g", v);
    const std::string where = std::string("value ") + vbuf;

    // The fixed-decimal format and the MHz text, for values they can show.
    if (std::isfinite(v) && std::fabs(v) < 1e15) {
        const std::string fixed = formatFixed(v, decimals, fmt);
        const double back = readBack(fixed.empty() ? "0" : fixed, fmt, where);
        FUZZ_CHECK(near(back, v, 0.5000001 * std::pow(10.0, -decimals)),
                   where + " fixed " + show(fixed));
        const auto sep = fixed.find(fmt.decimal);
        FUZZ_CHECK(decimals == 0 || (sep != std::string::npos &&
                                     fixed.size() - sep - 1 == std::size_t(decimals)),
                   where + " fixed " + show(fixed));
        // No leading zeros: a zero integer part is written as nothing at all.
        const std::string_view unsignedPart =
            std::string_view(fixed).substr(!fixed.empty() && fixed[0] == '-' ? 1 : 0);
        FUZZ_CHECK(unsignedPart.empty() || unsignedPart[0] != '0' || unsignedPart == "0",
                   where + " fixed " + show(fixed));
        checkMHzText(formatMHzText(v, fmt), v, fmt, where);
    } else if (!std::isfinite(v)) {
        bool refused = false;
        try {
            formatMHzText(v, fmt);
        } catch (const OverflowError&) {
            refused = true;
        }
        FUZZ_CHECK(refused, where);
    }

    // Eight digits at least, zero-padded, and the same number.
    const std::string digits = formatKHzDigits(khz);
    FUZZ_CHECK(std::atoll(digits.c_str()) == khz, "kHz " + std::to_string(khz) + show(digits));
    const std::size_t unsignedLen = digits.size() - (khz < 0 ? 1 : 0);
    FUZZ_CHECK(unsignedLen >= 8 && (unsignedLen == 8 || digits[khz < 0 ? 1 : 0] != '0'),
               "kHz " + std::to_string(khz) + show(digits));

    // 15 significant digits: read back within the 15th digit.
    if (std::isfinite(v)) {
        const std::string d15 = formatDecimal15(v, fmt);
        // Rounded to 15 digits, the largest doubles become a text beyond the double range.
        if (std::fabs(v) > 1.79769313486231e308)
            return 0;
        const double back = readBack(d15, fmt, where);
        FUZZ_CHECK(std::fabs(back - v) <= 6e-15 * std::fabs(v) || std::fabs(v) < 1e-300 ||
                       std::isinf(back),
                   where + " text " + show(d15));
    }

    // A float position: 7 significant digits, no separator when whole, the same float back
    // within the 7th digit.
    if (std::isfinite(f)) {
        const std::string single = formatSingle(f, fmt);
        const double back = readBack(single, fmt, where);
        const double fd = f;
        FUZZ_CHECK(std::fabs(back - fd) <= 5.1e-7 * std::fabs(fd) || std::fabs(fd) < 1e-37,
                   "float " + std::to_string(fd) + " text " + show(single));
        if (fd == std::floor(fd) && std::fabs(fd) < 1e7)
            FUZZ_CHECK(single.find(fmt.decimal) == std::string::npos,
                       "float " + std::to_string(fd) + " text " + show(single));
    }
    return 0;
}
