// Shared pieces of the fuzz targets: the failure check, splitting an input into records, an
// independent strtod-based reading of plain decimal text, and a tracker wired to fakes.
#pragma once

#include "core/tracker_rig.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::fuzz {

// A broken property: print what was seen and abort, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "property broken: %s\n  %s\n", what, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                                                                   \
    do {                                                                                           \
        if (!(cond))                                                                               \
            ::veltaro::fuzz::fail(#cond, (detail));                                                \
    } while (0)

// Shows a text with its control bytes escaped, shortened for the report.
inline std::string show(std::string_view s) {
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size() && i < 200; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            out += buf;
        }
    }
    if (s.size() > 200)
        out += "...(" + std::to_string(s.size()) + " bytes)";
    return out + "\"";
}

// The first byte picks the regional decimal separator ('.' or ','); the rest is the payload.
struct Input {
    NumberFormat fmt;
    std::string_view rest;
};
inline std::optional<Input> takeFormat(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return std::nullopt;
    return Input{NumberFormat{(data[0] & 1) ? ',' : '.'},
                 std::string_view(reinterpret_cast<const char*>(data + 1), size - 1)};
}

inline std::vector<std::string_view> split(std::string_view s, char sep, std::size_t maxParts) {
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const auto at = s.find(sep);
        if (at == std::string_view::npos)
            break;
        parts.push_back(s.substr(0, at));
        s.remove_prefix(at + 1);
    }
    parts.push_back(s);
    return parts;
}

// The C library's reading of a text that is a plain decimal number (optional sign, digits with
// at most one separator, optional exponent, blanks around it); nothing for any other text.
// It serves as an independent opinion on what such a text is worth.
inline std::optional<double> plainDecimal(std::string_view text, NumberFormat fmt) {
    std::string s(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.pop_back();
    std::size_t i = s.find_first_not_of(" \t");
    if (i == std::string::npos)
        return std::nullopt;
    s.erase(0, i);
    bool sawDigit = false, sawSep = false, sawExp = false;
    for (std::size_t k = 0; k < s.size(); ++k) {
        const char c = s[k];
        if (c >= '0' && c <= '9') {
            sawDigit = true;
        } else if ((c == '+' || c == '-') && (k == 0 || s[k - 1] == 'e' || s[k - 1] == 'E')) {
        } else if (c == fmt.decimal && !sawSep && !sawExp) {
            sawSep = true;
            s[k] = '.';
        } else if ((c == 'e' || c == 'E') && sawDigit && !sawExp) {
            sawExp = true;
        } else {
            return std::nullopt;
        }
    }
    if (!sawDigit || s.back() == 'e' || s.back() == 'E' || s.back() == '+' || s.back() == '-')
        return std::nullopt;
    std::setlocale(LC_NUMERIC, "C");
    errno = 0;
    char* end = nullptr;
    const double v = std::strtod(s.c_str(), &end);
    if (end != s.c_str() + s.size())
        return std::nullopt;
    return v;
}

// |a - b| within an absolute step plus a relative allowance for the double rounding.
inline bool near(double a, double b, double step) {
    return std::fabs(a - b) <= step + 4e-16 * std::fmax(std::fabs(a), std::fabs(b));
}

using test::TrackerRig;

// What one reading must have done to the rig, whichever source it came from: the change rule,
// the outputs of a relay and the labels. `before` is the last relayed kHz before the reading.
inline void checkReading(const TrackerRig& rig, std::int32_t before, std::size_t sentBefore,
                         const std::string& reading) {
    const auto& t = rig.tracker;
    const std::string where = "reading " + show(reading);
    FUZZ_CHECK(rig.label7.caption() == std::to_string(t.NewKHz), where);
    FUZZ_CHECK(rig.label3.caption() == std::to_string(t.LastSentKHz), where);
    const std::int64_t d = std::int64_t{t.NewKHz} - before;
    const bool relayed = d > 9 || d < -9;
    FUZZ_CHECK(rig.serial.sent.size() == sentBefore + (relayed ? 1 : 0), where);
    FUZZ_CHECK(t.LastSentKHz == (relayed ? t.NewKHz : before), where);
    if (!relayed)
        return;
    const std::string& cmd = rig.serial.sent.back();
    FUZZ_CHECK(cmd == "FA" + t.FreqKHzDigits + "000;", where + " sent " + show(cmd));
    FUZZ_CHECK(std::atoll(t.FreqKHzDigits.c_str()) == t.LastSentKHz, where);
    if (t.LastSentKHz >= 0)
        FUZZ_CHECK(cmd.size() == 14 || (t.LastSentKHz > 99999999 && cmd.size() > 14),
                   where + " sent " + show(cmd));
    FUZZ_CHECK(rig.text3.text() == t.FreqMHzText, where);
    FUZZ_CHECK(rig.pegasus() == t.FreqMHzText + "\r\n", where);
}

// The MHz text of a reading of `mhz`: read back it must give the reading to the shown decimals,
// and from 1 MHz up to below 1000 MHz it is nine characters long unless rounding carried it
// across a format threshold (9.9999999 shows as "010.000000").
inline void checkMHzText(const std::string& text, double mhz, NumberFormat fmt,
                         const std::string& where) {
    FUZZ_CHECK(!text.empty(), where);
    for (char c : text)
        FUZZ_CHECK((c >= '0' && c <= '9') || c == fmt.decimal || c == '-', where + show(text));
    const auto back = plainDecimal(text, fmt);
    FUZZ_CHECK(back.has_value(), where + " text " + show(text));
    const double a = std::fabs(mhz);
    const double step = a < 100 ? 0.5e-6 : 0.5e-5;
    FUZZ_CHECK(near(*back, mhz, step * 1.000001), where + " text " + show(text));
    const bool nearThreshold = std::fabs(a - 10) < 1e-5 || std::fabs(a - 100) < 1e-4 ||
                               std::fabs(a - 1000) < 1e-4 || std::fabs(a - 1) < 1e-5;
    if (mhz >= 1 && mhz < 1000 && !nearThreshold)
        FUZZ_CHECK(text.size() == 9, where + " text " + show(text));
}

} // namespace veltaro::fuzz
