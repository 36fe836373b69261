#include "relay/convert.h"

#include "platform/errors.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace veltaro {
namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

// Whether an out-of-range `plain` is too small to tell from zero (rather than too large): the
// power of ten of its first significant digit is negative.
bool vanishes(const std::string& plain) {
    const std::size_t e = plain.find('e');
    const std::string mantissa = plain.substr(0, e);
    long long exponent = 0;
    if (e != std::string::npos) {
        const bool negative = plain[e + 1] == '-';
        for (std::size_t i = e + 1; i < plain.size(); ++i)
            if (isDigit(plain[i]))
                exponent = std::min(exponent * 10 + (plain[i] - '0'), 1000000000LL);
        if (negative)
            exponent = -exponent;
    }
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_of("123456789");
    if (first == std::string::npos)
        return true;
    const long long power = first < point ? static_cast<long long>(point - first) - 1
                                          : -static_cast<long long>(first - point);
    return power + exponent < 0;
}

double toDouble(const std::string& plain) {
    // `plain` is made of [-]digits[.digits][e[-]digits] only; from_chars is locale-free.
    double v = 0;
    auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec == std::errc::result_out_of_range) {
        if (vanishes(plain))
            return plain[0] == '-' ? -0.0 : 0.0;
        throw OverflowError("Overflow");
    }
    if (ec != std::errc() || ptr != plain.data() + plain.size())
        throw ConversionError("Type mismatch");
    return v;
}

template <typename Int> Int roundTo(double v) {
    if (!std::isfinite(v))
        throw OverflowError("Overflow");
    // Nearest integer, an exact half to the even neighbour (v - floor(v) is exact here).
    double r = std::floor(v);
    const double frac = v - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
        r > static_cast<double>(std::numeric_limits<Int>::max()))
        throw OverflowError("Overflow");
    return static_cast<Int>(r);
}

std::string withSeparator(std::string s, NumberFormat fmt) {
    for (char& c : s)
        if (c == '.')
            c = fmt.decimal;
    return s;
}

} // namespace

double parseNumber(std::string_view text, NumberFormat fmt) {
    const std::string_view s = trimBlanks(text);
    std::string plain;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        if (s[i] == '-')
            plain += '-';
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        plain += s[i++];
        ++digits;
    }
    if (i < s.size() && s[i] == fmt.decimal) {
        plain += '.';
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            plain += s[i++];
            ++digits;
        }
    }
    if (digits == 0)
        throw ConversionError("Type mismatch");
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            plain += s[i++];
        std::size_t expDigits = 0;
        while (i < s.size() && isDigit(s[i])) {
            plain += s[i++];
            ++expDigits;
        }
        if (expDigits == 0)
            throw ConversionError("Type mismatch");
    }
    if (i != s.size())
        throw ConversionError("Type mismatch");
    if (plain.back() == '.')
        plain.pop_back();
    return toDouble(plain);
}

std::int16_t roundToInt16(double v) {
    return roundTo<std::int16_t>(v);
}
std::int32_t roundToInt32(double v) {
    return roundTo<std::int32_t>(v);
}

std::int16_t textToInt16(std::string_view text, NumberFormat fmt) {
    return roundToInt16(parseNumber(text, fmt));
}
std::int32_t textToInt32(std::string_view text, NumberFormat fmt) {
    return roundToInt32(parseNumber(text, fmt));
}

std::int32_t floorKHzFromMHz(double mhz) {
    const double khz = std::floor(mhz * 1000.0);
    if (!std::isfinite(khz) ||
        khz < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        khz > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        throw OverflowError("Overflow");
    return static_cast<std::int32_t>(khz);
}

std::int32_t checkedSub(std::int32_t a, std::int32_t b) {
    std::int32_t r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        throw OverflowError("Overflow");
    return r;
}

std::string formatFixed(double v, int decimals, NumberFormat fmt) {
    if (!std::isfinite(v))
        throw OverflowError("Overflow");
    const bool negative = v < 0;
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, std::fabs(v));
    std::string s = buf;
    if (s.rfind("0.", 0) == 0)
        s.erase(0, 1); // "#" writes nothing for a zero integer part
    if (negative && s.find_first_not_of("0.") != std::string::npos)
        s.insert(0, "-");
    return withSeparator(std::move(s), fmt);
}

std::string formatMHzText(double mhz, NumberFormat fmt) {
    if (mhz < 0)
        return "-" + formatMHzText(-mhz, fmt);
    if (mhz < 10)
        return "0" + formatFixed(mhz, 6, fmt);
    if (mhz < 100)
        return formatFixed(mhz, 6, fmt);
    return formatFixed(mhz, 5, fmt);
}

std::string formatKHzDigits(std::int32_t khz) {
    char buf[16];
    if (khz < 0)
        std::snprintf(buf, sizeof buf, "-%08lld", -static_cast<long long>(khz));
    else
        std::snprintf(buf, sizeof buf, "%08d", khz);
    return buf;
}

std::string formatDecimal15(double v, NumberFormat fmt) {
    if (!std::isfinite(v))
        throw OverflowError("Overflow");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    std::string s = buf;
    if (s == "-0")
        s = "0";
    return withSeparator(std::move(s), fmt);
}

double roundTo15Digits(double v) {
    const std::string text = formatDecimal15(v, NumberFormat{'.'});
    double r = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), r).ec != std::errc())
        throw OverflowError("Overflow"); // rounded up past the largest double
    return r == 0 ? 0.0 : r;
}

std::string formatSingle(float v, NumberFormat fmt) {
    if (!std::isfinite(v))
        throw OverflowError("Overflow");
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
    std::string s = buf;
    if (s == "-0")
        s = "0";
    return withSeparator(std::move(s), fmt);
}

double leadingNumber(std::string_view text) {
    std::string s;
    s.reserve(64);
    // Blanks, tabs and line feeds are skipped wherever they stand; only the leading number
    // matters, so stop collecting once it cannot go on.
    std::size_t pos = 0;
    auto next = [&]() -> int {
        while (pos < text.size() && (isBlank(text[pos]) || text[pos] == '\n'))
            ++pos;
        return pos < text.size() ? static_cast<unsigned char>(text[pos]) : -1;
    };
    auto take = [&]() { ++pos; };

    if (next() == '&') {
        take();
        const int kind = next();
        int base = 0;
        if (kind == 'H' || kind == 'h')
            base = 16;
        else if (kind == 'O' || kind == 'o')
            base = 8;
        if (base == 0)
            return 0;
        take();
        double value = 0;
        for (int c = next(); c >= 0; c = next()) {
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                d = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                d = c - 'A' + 10;
            if (d < 0 || d >= base)
                break;
            value = value * base + d;
            take();
        }
        if (!std::isfinite(value))
            throw OverflowError("Overflow");
        return value;
    }

    if (next() == '+' || next() == '-') {
        if (next() == '-')
            s += '-';
        take();
    }
    std::size_t digits = 0;
    for (int c = next(); c >= 0 && isDigit(static_cast<char>(c)); c = next()) {
        s += static_cast<char>(c);
        ++digits;
        take();
    }
    if (next() == '.') {
        take();
        s += '.';
        for (int c = next(); c >= 0 && isDigit(static_cast<char>(c)); c = next()) {
            s += static_cast<char>(c);
            ++digits;
            take();
        }
    }
    if (digits == 0)
        return 0;
    const int e = next();
    if (e == 'e' || e == 'E' || e == 'd' || e == 'D') {
        const std::size_t mark = pos;
        std::string exp = "e";
        take();
        if (next() == '+' || next() == '-') {
            exp += static_cast<char>(next());
            take();
        }
        std::size_t expDigits = 0;
        for (int c = next(); c >= 0 && isDigit(static_cast<char>(c)); c = next()) {
            exp += static_cast<char>(c);
            ++expDigits;
            take();
        }
        if (expDigits > 0)
            s += exp;
        else
            pos = mark;
    }
    if (s.back() == '.')
        s.pop_back();
    const double v = toDouble(s);
    if (!std::isfinite(v))
        throw OverflowError("Overflow");
    return v;
}

} // namespace veltaro
