#include "base/numbers.h"

#include "base/text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace veltaro {

using text::isDigit;

namespace {

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

// `plain` is made of [-]digits[.digits][e[-]digits] only; from_chars is locale-free.
std::optional<double> toDouble(const std::string& plain) {
    double v = 0;
    auto [ptr, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec == std::errc::result_out_of_range) {
        if (vanishes(plain))
            return plain[0] == '-' ? -0.0 : 0.0;
        return std::nullopt;
    }
    if (ec != std::errc() || ptr != plain.data() + plain.size())
        return std::nullopt;
    return v;
}

template <typename Int> std::optional<Int> roundTo(double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    // Nearest integer, an exact half to the even neighbour (v - floor(v) is exact here).
    double r = std::floor(v);
    const double frac = v - r;
    if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0))
        r += 1.0;
    if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
        r > static_cast<double>(std::numeric_limits<Int>::max()))
        return std::nullopt;
    return static_cast<Int>(r);
}

std::string withSeparator(std::string s, NumberFormat fmt) {
    for (char& c : s)
        if (c == '.')
            c = fmt.decimal;
    return s;
}

// Moves the digits at s[i...] to plain; returns how many there were.
std::size_t takeDigits(std::string_view s, std::size_t& i, std::string& plain) {
    std::size_t n = 0;
    for (; i < s.size() && isDigit(s[i]); ++i, ++n)
        plain += s[i];
    return n;
}

// The plain form ([-]digits[.digits][e[-]digits]) of a regional number text, or nothing.
std::optional<std::string> plainNumber(std::string_view s, NumberFormat fmt) {
    std::string plain;
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        if (s[i++] == '-')
            plain += '-';
    std::size_t digits = takeDigits(s, i, plain);
    if (i < s.size() && s[i] == fmt.decimal) {
        plain += '.';
        ++i;
        digits += takeDigits(s, i, plain);
    }
    if (digits == 0)
        return std::nullopt;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        plain += 'e';
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-'))
            plain += s[i++];
        if (takeDigits(s, i, plain) == 0)
            return std::nullopt;
    }
    if (i != s.size())
        return std::nullopt;
    if (plain.back() == '.')
        plain.pop_back();
    return plain;
}

} // namespace

std::optional<double> parseNumber(std::string_view text, NumberFormat fmt) {
    const auto plain = plainNumber(text::trimBlanks(text), fmt);
    return plain ? toDouble(*plain) : std::nullopt;
}

std::optional<std::int16_t> roundToInt16(double v) {
    return roundTo<std::int16_t>(v);
}

std::optional<std::int32_t> roundToInt32(double v) {
    return roundTo<std::int32_t>(v);
}

std::optional<std::int16_t> parseRoundedInt16(std::string_view text, NumberFormat fmt) {
    const auto v = parseNumber(text, fmt);
    return v ? roundToInt16(*v) : std::nullopt;
}

std::optional<std::int32_t> floorKHzFromMHz(double mhz) {
    const double khz = std::floor(mhz * 1000.0);
    if (!std::isfinite(khz) ||
        khz < static_cast<double>(std::numeric_limits<std::int32_t>::min()) ||
        khz > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return static_cast<std::int32_t>(khz);
}

std::optional<std::int32_t> checkedSub(std::int32_t a, std::int32_t b) {
    std::int32_t r = 0;
    if (__builtin_sub_overflow(a, b, &r))
        return std::nullopt;
    return r;
}

std::optional<std::string> formatFixed(double v, int decimals, NumberFormat fmt) {
    if (!std::isfinite(v))
        return std::nullopt;
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

std::optional<std::string> formatMHzText(double mhz, NumberFormat fmt) {
    if (mhz < 0) {
        const auto positive = formatMHzText(-mhz, fmt);
        return positive ? std::optional("-" + *positive) : std::nullopt;
    }
    if (mhz < 10) {
        const auto fixed = formatFixed(mhz, 6, fmt);
        return fixed ? std::optional("0" + *fixed) : std::nullopt;
    }
    return formatFixed(mhz, mhz < 100 ? 6 : 5, fmt);
}

std::string formatKHzDigits(std::int32_t khz) {
    char buf[16];
    if (khz < 0)
        std::snprintf(buf, sizeof buf, "-%08lld", -static_cast<long long>(khz));
    else
        std::snprintf(buf, sizeof buf, "%08d", khz);
    return buf;
}

std::optional<double> roundTo15Digits(double v) {
    if (!std::isfinite(v))
        return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", v);
    const std::string_view text = buf;
    double r = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), r).ec != std::errc())
        return std::nullopt; // rounded up past the largest double
    return r == 0 ? 0.0 : r;
}

std::optional<std::string> formatTwips(float v, NumberFormat fmt) {
    if (!std::isfinite(v))
        return std::nullopt;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.7G", static_cast<double>(v));
    std::string s = buf;
    if (s == "-0")
        s = "0";
    return withSeparator(std::move(s), fmt);
}

} // namespace veltaro

namespace veltaro {

namespace {

// Reads a text character by character, skipping blanks, tabs and line feeds wherever they
// stand, as the loose number reading does.
class LooseReader {
public:
    explicit LooseReader(std::string_view text) : text_(text) {}

    int peek() {
        while (pos_ < text_.size() &&
               (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\n'))
            ++pos_;
        return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_]) : -1;
    }
    void take() { ++pos_; }
    std::size_t mark() const { return pos_; }
    void back(std::size_t mark) { pos_ = mark; }
    std::size_t digitsTo(std::string& out) {
        std::size_t n = 0;
        for (int c = peek(); c >= 0 && isDigit(static_cast<char>(c)); c = peek(), ++n) {
            out += static_cast<char>(c);
            take();
        }
        return n;
    }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
};

int digitValue(int c, int base) {
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

// "&H1F" or "&O17", after the "&".
std::optional<double> radixNumber(LooseReader& in) {
    const int kind = in.peek();
    const int base = (kind == 'H' || kind == 'h') ? 16 : (kind == 'O' || kind == 'o') ? 8 : 0;
    if (base == 0)
        return 0.0;
    in.take();
    double value = 0;
    for (int d = digitValue(in.peek(), base); d >= 0; d = digitValue(in.peek(), base)) {
        value = value * base + d;
        in.take();
    }
    return std::isfinite(value) ? std::optional(value) : std::nullopt;
}

// An exponent ("e", "E", "d" or "D", a sign, digits) when there is one with digits.
void exponentTo(LooseReader& in, std::string& plain) {
    const int e = in.peek();
    if (e != 'e' && e != 'E' && e != 'd' && e != 'D')
        return;
    const std::size_t mark = in.mark();
    std::string exp = "e";
    in.take();
    if (in.peek() == '+' || in.peek() == '-') {
        exp += static_cast<char>(in.peek());
        in.take();
    }
    if (in.digitsTo(exp) > 0)
        plain += exp;
    else
        in.back(mark);
}

} // namespace

std::optional<double> leadingNumber(std::string_view text) {
    LooseReader in(text);
    if (in.peek() == '&') {
        in.take();
        return radixNumber(in);
    }
    std::string plain;
    if (in.peek() == '+' || in.peek() == '-') {
        if (in.peek() == '-')
            plain += '-';
        in.take();
    }
    std::size_t digits = in.digitsTo(plain);
    if (in.peek() == '.') {
        in.take();
        plain += '.';
        digits += in.digitsTo(plain);
    }
    if (digits == 0)
        return 0.0;
    exponentTo(in, plain);
    if (plain.back() == '.')
        plain.pop_back();
    const auto v = toDouble(plain);
    return v && std::isfinite(*v) ? v : std::nullopt;
}

} // namespace veltaro
