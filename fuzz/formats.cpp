// The number formats for any value: the MHz text reads back to its decimals in the shape of its
// range, the frequency command carries the kHz as eight digits at least, and the 15-digit
// rounding of readings keeps 15 significant digits.
//
// The input: a byte (bit 0 the decimal comma), a double, a 32-bit kHz.
#include "fuzz_support.h"

#include "platform/errors.h"
#include "relay/controller_link.h"
#include "relay/convert.h"

#include <algorithm>
#include <charconv>
#include <cstring>

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

template <typename T> T take(std::string_view& in) {
    T v{};
    const std::size_t n = std::min(in.size(), sizeof(T));
    std::memcpy(&v, in.data(), n);
    in.remove_prefix(n);
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

// The MHz text: read back it gives the value to the shown decimals; below 1 MHz it is eight
// characters long ("0.500000"), from there up to below 1000 MHz nine, unless rounding carried it
// across a format threshold (9.9999999 shows as "010.000000").
void checkMHzText(double mhz, NumberFormat fmt, const std::string& where) {
    const std::string text = formatMHzText(mhz, fmt);
    for (char c : text)
        FUZZ_CHECK((c >= '0' && c <= '9') || c == fmt.decimal || c == '-', where + show(text));
    const double a = std::fabs(mhz);
    FUZZ_CHECK(near(readBack(text, fmt, where), mhz, (a < 100 ? 0.5e-6 : 0.5e-5) * 1.000001),
               where + " text " + show(text));
    const bool nearThreshold = std::fabs(a - 10) < 1e-5 || std::fabs(a - 100) < 1e-4 ||
                               std::fabs(a - 1000) < 1e-4 || std::fabs(a - 1) < 1e-5;
    if (mhz >= 0 && mhz < 1000 && !nearThreshold)
        FUZZ_CHECK(text.size() == (mhz < 1 ? 8u : 9u), where + " text " + show(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto in = takeInput(data, size);
    if (!in)
        return 0;
    const NumberFormat fmt = in->fmt;
    const double v = take<double>(in->rest);
    const std::int32_t khz = take<std::int32_t>(in->rest);
    char vbuf[40];
    std::snprintf(vbuf, sizeof vbuf, "%.17g", v);
    const std::string where = std::string("value ") + vbuf;

    if (std::isfinite(v) && std::fabs(v) < 1e15)
        checkMHzText(v, fmt, where);

    // "FA", the kHz as eight digits at least (zero-padded, no other leading zero), "000;".
    const std::string cmd = ControllerLink::frequencyCommand(khz);
    const std::string_view digits = std::string_view(cmd).substr(2, cmd.size() - 6);
    std::int64_t back = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), back);
    const std::size_t unsignedLen = digits.size() - (khz < 0 ? 1 : 0);
    FUZZ_CHECK(cmd.starts_with("FA") && cmd.ends_with("000;") && ec == std::errc() &&
                   end == digits.data() + digits.size() && back == khz && unsignedLen >= 8 &&
                   (unsignedLen == 8 || digits[khz < 0 ? 1 : 0] != '0'),
               "kHz " + std::to_string(khz) + " command " + show(cmd));

    // Within half a unit of the 15th significant digit, written with 15 digits, and what the
    // 15-digit text reads back as. Rounded to 15 digits, the largest doubles would be beyond the
    // double range; subnormal values are not kept.
    if (std::isfinite(v) && std::fabs(v) <= 1.79769313486231e308 && std::fabs(v) >= 1e-300) {
        const double r = roundTo15Digits(v);
        char rbuf[40];
        std::snprintf(rbuf, sizeof rbuf, "%.15g", r);
        FUZZ_CHECK(std::fabs(r - v) <= 5.2e-15 * std::fabs(v) && std::strtod(rbuf, nullptr) == r,
                   where + " rounded " + std::to_string(r));
        const std::string d15 = formatDecimal15(v, fmt);
        FUZZ_CHECK(readBack(d15, fmt, where) == r, where + " text " + show(d15));
    }
    return 0;
}
