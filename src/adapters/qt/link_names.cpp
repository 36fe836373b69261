#include "adapters/qt/link_names.h"

namespace veltaro::qt {

namespace {

bool isAsciiLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isAsciiDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string escapeLinkName(const std::string& raw) {
    static constexpr char HexDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(raw.size() * 3);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const auto c = static_cast<unsigned char>(raw[i]);
        const bool keep = isAsciiLetter(c) || (isAsciiDigit(c) && i > 0);
        if (keep) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('_');
            out.push_back(HexDigits[c >> 4]);
            out.push_back(HexDigits[c & 0x0f]);
        }
    }
    return out;
}

QString linkBusName(const std::string& service) {
    return QString::fromLatin1(LinkServicePrefix) + QString::fromStdString(escapeLinkName(service));
}

QString linkObjectPath(const std::string& topic) {
    return QLatin1Char('/') + QString::fromStdString(escapeLinkName(topic));
}

} // namespace veltaro::qt
