// Shared pieces of the fuzz targets: the failure check, the input's leading byte of flags,
// splitting the payload into records, and an independent strtod-based reading of plain decimal
// text.
#pragma once

#include "base/numbers.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltaro::fuzz {

// A broken property: print what was seen and abort, so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "property broken: %s\n  %s\n", what, detail.c_str());
    std::abort();
}

#define FUZZ_CHECK(cond, detail) ((cond) ? void() : ::veltaro::fuzz::fail(#cond, (detail)))

// Shows a text with its control bytes escaped, shortened for the report.
inline std::string show(std::string_view s) {
    std::string out = "\"";
    for (const unsigned char c : s.substr(0, 200)) {
        char buf[8];
        std::snprintf(buf, sizeof buf, c >= 0x20 && c < 0x7f && c != '"' ? "%c" : "\\x%02x", c);
        out += buf;
    }
    return out + (s.size() > 200 ? "...(" + std::to_string(s.size()) + " bytes)\"" : "\"");
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

// Takes a T from the front of the payload (zero-filled when the payload is short).
template <typename T> T take(std::string_view& in) {
    T v{};
    std::memcpy(&v, in.data(), std::min(in.size(), sizeof(T)));
    in.remove_prefix(std::min(in.size(), sizeof(T)));
    return v;
}

inline std::vector<std::string_view> split(std::string_view s, char sep, std::size_t maxParts) {
    std::vector<std::string_view> parts;
    for (auto at = s.find(sep); parts.size() + 1 < maxParts && at != s.npos; at = s.find(sep)) {
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
    const auto first = text.find_first_not_of(" \t");
    std::string s(
        first == text.npos ? "" : text.substr(first, text.find_last_not_of(" \t") + 1 - first));
    std::size_t i = 0;
    const auto one = [&](std::string_view set) {
        return i < s.size() && set.find(s[i]) != set.npos && ++i;
    };
    const auto digits = [&] {
        const auto at = i;
        return (i = std::min(s.find_first_not_of("0123456789", i), s.size())) > at;
    };
    one("+-");
    bool sawDigit = digits();
    if (one(std::string_view(&fmt.decimal, 1))) {
        s[i - 1] = '.';
        sawDigit = digits() || sawDigit;
    }
    if (!sawDigit || (one("eE") && (one("+-"), !digits())) || i != s.size())
        return std::nullopt;
    std::setlocale(LC_NUMERIC, "C");
    return std::strtod(s.c_str(), nullptr);
}

// |a - b| within an absolute step plus a relative allowance for the double rounding.
inline bool near(double a, double b, double step) {
    return std::fabs(a - b) <= step + 4e-16 * std::fmax(std::fabs(a), std::fabs(b));
}

} // namespace veltaro::fuzz
