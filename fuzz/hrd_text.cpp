// HRD deliveries: the loose number reading of a Hz text, its MHz text and the tracker.
#include "fuzz_support.h"

#include "platform/errors.h"
#include "relay/convert.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

// For a text whose blank-free form starts with a plain number and holds none of the letters
// that strtod reads on its own (hex, inf, nan) or that the loose reading takes as an exponent
// ("d"), strtod on the blank-free form reads the same leading number.
std::optional<double> strtodOpinion(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if (c == '\0' || c == 'x' || c == 'X' || c == 'd' || c == 'D' || c == 'p' || c == 'P')
            return std::nullopt;
        s += c;
    }
    std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        return std::nullopt;
    std::setlocale(LC_NUMERIC, "C");
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (errno == ERANGE && std::isinf(v))
        return std::nullopt;
    return v;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeFormat(data, size);
    if (!in)
        return 0;
    TrackerRig rig(in->fmt);
    auto& t = rig.tracker;
    for (std::string_view part : split(in->rest, '\0', 16)) {
        const std::string where = "HRD " + show(part);
        double hz = 0;
        try {
            hz = leadingNumber(part);
        } catch (const OverflowError&) {
            continue;
        }
        FUZZ_CHECK(std::isfinite(hz), where);
        if (const auto opinion = strtodOpinion(part))
            FUZZ_CHECK(*opinion == hz || (*opinion == 0 && hz == 0),
                       where + " read " + std::to_string(hz));
        const double mhz = hz / 1000000.0;
        std::string text;
        try {
            text = formatDecimal15(mhz, in->fmt);
        } catch (const OverflowError&) {
            FUZZ_CHECK(!std::isfinite(mhz), where);
            continue;
        }
        // 15 significant digits at most, no trailing zeros, read back as the same number.
        FUZZ_CHECK(text.size() <= 24, where + " text " + show(text));
        if (text.find(in->fmt.decimal) != std::string::npos && text.find('E') == std::string::npos)
            FUZZ_CHECK(text.back() != '0' && text.back() != in->fmt.decimal,
                       where + " text " + show(text));
        double back = 0;
        try {
            back = parseNumber(text, in->fmt);
        } catch (const Error&) {
            fail("the MHz text of an HRD value reads back", where + " text " + show(text));
        }
        FUZZ_CHECK(std::fabs(back - mhz) <= 1e-14 * std::fabs(mhz) ||
                       (std::fabs(mhz) < 1e-300 && std::fabs(back) < 1e-300),
                   where + " text " + show(text));

        const std::int32_t before = t.LastSentKHz;
        const std::size_t sent = rig.serial.sent.size();
        t.HrdFreq = text;
        try {
            t.UpdateFromHRD();
        } catch (const OverflowError&) {
            // Out of the 32-bit range, or so far from the last relay that the difference is.
            FUZZ_CHECK(std::fabs(back * 1000) >= 2147483647.0 ||
                           std::fabs(std::floor(back * 1000) - before) > 2147483647.0,
                       where);
            FUZZ_CHECK(t.LastSentKHz == before && rig.serial.sent.size() == sent, where);
            continue;
        }
        FUZZ_CHECK(t.NewKHz == static_cast<std::int32_t>(std::floor(back * 1000.0)), where);
        checkReading(rig, before, sent, text);
        if (t.LastSentKHz != before)
            checkMHzText(t.FreqMHzText, back, in->fmt, where);
    }
    return 0;
}
