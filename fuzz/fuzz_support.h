// Shared pieces of the fuzz targets: the failure check, the input's leading byte of flags,
// splitting the payload into records, and an independent strtod-based reading of plain decimal
// text.
#pragma once

#include "platform/system.h"

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

// The first byte holds flags; its lowest bit picks the regional decimal separator (',' when
// set). The rest is the payload.
struct Input {
    std::uint8_t flags;
    NumberFormat fmt;
    std::string_view rest;
};
inline std::optional<Input> takeInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return std::nullopt;
    return Input{data[0], NumberFormat{(data[0] & 1) ? ',' : '.'},
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

} // namespace veltaro::fuzz
