#include "base/text.h"

#include <algorithm>

namespace veltaro::text {

namespace {

template <class IsSpace> std::string_view trimmed(std::string_view s, IsSpace isSpace) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::string_view trimBlanks(std::string_view s) {
    return trimmed(s, [](char c) { return c == ' ' || c == '\t'; });
}

std::string_view trimSpace(std::string_view s) {
    return trimmed(s, [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; });
    return out;
}

} // namespace veltaro::text
