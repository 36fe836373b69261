#include "protocols/net_address.h"

#include <cstddef>

namespace veltaro {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isHexDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned v = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        v = v * 10 + unsigned(c - '0');
    }
    if (v < 1 || v > 65535)
        return std::nullopt;
    return std::uint16_t(v);
}

// Dot-separated labels of letters, digits, '-' and '_', none empty or starting with '-'. A
// dotted IPv4 address is one too.
bool isHostName(std::string_view text) {
    if (text.empty() || text.size() > 253)
        return false;
    for (std::size_t start = 0;;) {
        const std::size_t dot = text.find('.', start);
        const std::string_view label =
            text.substr(start, dot == text.npos ? text.npos : dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-')
            return false;
        for (const char c : label)
            if (!(isHexDigit(c) || (c >= 'g' && c <= 'z') || (c >= 'G' && c <= 'Z') || c == '-' ||
                  c == '_'))
                return false;
        if (dot == text.npos)
            return true;
        start = dot + 1;
    }
}

bool isIpv4(std::string_view text) {
    int parts = 0;
    for (std::size_t start = 0;; ++parts) {
        const std::size_t dot = text.find('.', start);
        const std::string_view part =
            text.substr(start, dot == text.npos ? text.npos : dot - start);
        if (part.empty() || part.size() > 3 || (part.size() > 1 && part[0] == '0'))
            return false;
        int v = 0;
        for (const char c : part) {
            if (!isDigit(c))
                return false;
            v = v * 10 + (c - '0');
        }
        if (v > 255)
            return false;
        if (dot == text.npos)
            return parts == 3;
        start = dot + 1;
    }
}

// Up to eight groups of one to four hex digits, at most one "::" standing for the missing ones,
// the last two groups possibly written as an IPv4 address, and an optional "%zone".
bool isIpv6(std::string_view text) {
    if (const std::size_t zone = text.find('%'); zone != text.npos) {
        const std::string_view name = text.substr(zone + 1);
        if (name.empty() || !isHostName(name))
            return false;
        text = text.substr(0, zone);
    }
    const std::size_t gap = text.find("::");
    if (gap != text.npos && text.find("::", gap + 1) != text.npos)
        return false;
    int groups = 0;
    const auto countGroups = [&](std::string_view part, bool last) {
        if (part.empty())
            return true;
        for (std::size_t start = 0;;) {
            const std::size_t colon = part.find(':', start);
            const std::string_view group =
                part.substr(start, colon == part.npos ? part.npos : colon - start);
            if (colon == part.npos && last && group.find('.') != group.npos) {
                groups += 2;
                return isIpv4(group);
            }
            if (group.empty() || group.size() > 4)
                return false;
            for (const char c : group)
                if (!isHexDigit(c))
                    return false;
            ++groups;
            if (colon == part.npos)
                return true;
            start = colon + 1;
        }
    };
    if (gap == text.npos)
        return countGroups(text, true) && groups == 8;
    return countGroups(text.substr(0, gap), false) && countGroups(text.substr(gap + 2), true) &&
           groups <= 7;
}

} // namespace

std::optional<NetAddress> parseNetAddress(std::string_view text, const NetAddress& defaults,
                                          std::string* why) {
    const auto bad = [&](std::string reason) -> std::optional<NetAddress> {
        if (why)
            *why = std::move(reason);
        return std::nullopt;
    };
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    NetAddress address{defaults.host, 0};
    std::string_view portText = text;
    if (text.starts_with('[')) {
        const std::size_t close = text.find("]:");
        if (close == text.npos)
            return bad("write an IPv6 address as [ADDRESS]:PORT");
        const std::string_view host = text.substr(1, close - 1);
        if (!isIpv6(host))
            return bad("\"" + std::string(host) + "\" is not an IPv6 address");
        address.host = host;
        portText = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != text.npos) {
        const std::string_view host = text.substr(0, colon);
        if (host.find(':') != host.npos)
            return bad("write an IPv6 address as [ADDRESS]:PORT");
        if (!isHostName(host))
            return bad("\"" + std::string(host) + "\" is not a host name or address");
        address.host = host;
        portText = text.substr(colon + 1);
    }
    const auto port = parsePort(portText);
    if (!port)
        return bad("expected [HOST:]PORT with PORT from 1 to 65535");
    address.port = *port;
    return address;
}

std::string formatNetAddress(const NetAddress& address) {
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

} // namespace veltaro
