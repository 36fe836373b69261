// Responsibilities: the small text helpers every layer uses: blanks trimmed, digits recognised,
// ASCII lower case, and a whole unsigned number read without exceptions.
// Collaborations: the number formats (base/numbers), the protocol parsers and the settings use
// them; nothing here depends on the user's locale.
#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro::text {

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

inline bool isDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// Without the blanks and tabs at either end.
std::string_view trimBlanks(std::string_view s);
// Without any white space (blanks, tabs, CR, LF) at either end.
std::string_view trimSpace(std::string_view s);

std::string lowered(std::string_view s);

// The whole text as an unsigned number of the type: digits only, nothing before or after;
// nothing when it is empty, has anything else or does not fit.
template <class Unsigned> std::optional<Unsigned> parseUnsigned(std::string_view s) {
    if (!isDigits(s))
        return std::nullopt;
    Unsigned value{};
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

} // namespace veltaro::text
