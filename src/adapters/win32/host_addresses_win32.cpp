#include "adapters/win32/host_addresses_win32.h"

#include <iphlpapi.h>

#include <cstring>

namespace veltaro::win32 {

namespace {

std::uint32_t ipv4Of(const SocketAddress& a) {
    return ntohl(reinterpret_cast<const sockaddr_in*>(&a.storage)->sin_addr.s_addr);
}

const sockaddr_in6& ipv6Of(const SocketAddress& a) {
    return *reinterpret_cast<const sockaddr_in6*>(&a.storage);
}

bool sameAddress(const SocketAddress& a, const AdapterAddress& adapter) {
    const SocketAddress& b = adapter.address;
    if (a.family() != b.family())
        return false;
    if (a.family() == AF_INET)
        return ipv4Of(a) == ipv4Of(b);
    const sockaddr_in6& x = ipv6Of(a);
    // A zone, where given, names the adapter.
    return std::memcmp(&x.sin6_addr, &ipv6Of(b).sin6_addr, sizeof x.sin6_addr) == 0 &&
           (x.sin6_scope_id == 0 || x.sin6_scope_id == adapter.interfaceIndex);
}

bool isBroadcastOf(std::uint32_t ip, const AdapterAddress& adapter) {
    if (adapter.address.family() != AF_INET || adapter.prefixLength == 0 ||
        adapter.prefixLength >= 31)
        return false;
    const std::uint32_t host = 0xFFFFFFFFu >> adapter.prefixLength;
    return ip == (ipv4Of(adapter.address) | host);
}

} // namespace

SocketAddress SocketAddress::withPort(std::uint16_t port) const {
    SocketAddress a = *this;
    if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&a.storage)->sin6_port = htons(port);
    else
        reinterpret_cast<sockaddr_in*>(&a.storage)->sin_port = htons(port);
    return a;
}

SocketAddress SocketAddress::wildcard() const {
    SocketAddress a;
    if (family() == AF_INET6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&a.storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = ipv6Of(*this).sin6_port;
        a.length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&a.storage);
        in->sin_family = AF_INET;
        in->sin_port = reinterpret_cast<const sockaddr_in*>(&storage)->sin_port;
        a.length = sizeof(sockaddr_in);
    }
    return a;
}

std::string SocketAddress::text() const {
    char host[NI_MAXHOST] = {};
    if (getnameinfo(get(), length, host, sizeof host, nullptr, 0, NI_NUMERICHOST) != 0)
        return "?";
    return host;
}

std::optional<SocketAddress> numericAddress(const std::string& host, std::uint16_t port) {
    if (host.empty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    hints.ai_family = AF_UNSPEC;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found)
        return std::nullopt;
    SocketAddress a;
    if (found->ai_addrlen <= sizeof a.storage) {
        std::memcpy(&a.storage, found->ai_addr, found->ai_addrlen);
        a.length = static_cast<int>(found->ai_addrlen);
    }
    freeaddrinfo(found);
    if (a.length == 0)
        return std::nullopt;
    return a;
}

std::optional<SocketAddress> listenAddress(const std::string& host, std::uint16_t port) {
    if (host.empty())
        return numericAddress("0.0.0.0", port);
    if (lstrcmpiA(host.c_str(), "localhost") == 0)
        return numericAddress("127.0.0.1", port);
    return numericAddress(host, port);
}

std::vector<AdapterAddress> adapterAddresses() {
    std::vector<AdapterAddress> result;
    ULONG size = 16 * 1024;
    std::vector<char> buffer;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int tries = 0; rc == ERROR_BUFFER_OVERFLOW && tries < 4; ++tries) {
        buffer.resize(size);
        rc = GetAdaptersAddresses(
            AF_UNSPEC, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
            nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
    }
    if (rc != NO_ERROR)
        return result;
    for (auto* adapter = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); adapter;
         adapter = adapter->Next)
        for (auto* u = adapter->FirstUnicastAddress; u; u = u->Next) {
            const SOCKET_ADDRESS& sa = u->Address;
            AdapterAddress entry;
            if (!sa.lpSockaddr || sa.iSockaddrLength <= 0 ||
                static_cast<std::size_t>(sa.iSockaddrLength) > sizeof entry.address.storage)
                continue;
            std::memcpy(&entry.address.storage, sa.lpSockaddr, sa.iSockaddrLength);
            entry.address.length = sa.iSockaddrLength;
            entry.prefixLength = u->OnLinkPrefixLength;
            entry.interfaceIndex =
                sa.lpSockaddr->sa_family == AF_INET6 ? adapter->Ipv6IfIndex : adapter->IfIndex;
            result.push_back(entry);
        }
    return result;
}

ListenPlace listenPlaceOf(const SocketAddress& address,
                          const std::vector<AdapterAddress>& adapters) {
    if (address.family() == AF_INET) {
        const std::uint32_t ip = ipv4Of(address);
        if ((ip >> 28) == 0xE)
            return ListenPlace::Multicast;
        if (ip == INADDR_BROADCAST)
            return ListenPlace::Broadcast;
        // Before the loopback range, which has a broadcast address of its own.
        for (const AdapterAddress& adapter : adapters)
            if (isBroadcastOf(ip, adapter))
                return ListenPlace::Broadcast;
        if (ip == INADDR_ANY || (ip >> 24) == 127)
            return ListenPlace::Here;
    } else if (address.family() == AF_INET6) {
        const in6_addr& ip = ipv6Of(address).sin6_addr;
        if (ip.s6_addr[0] == 0xFF)
            return ListenPlace::Multicast;
        if (IN6_IS_ADDR_UNSPECIFIED(&ip) || IN6_IS_ADDR_LOOPBACK(&ip))
            return ListenPlace::Here;
    } else {
        return ListenPlace::Elsewhere;
    }
    for (const AdapterAddress& adapter : adapters)
        if (sameAddress(address, adapter))
            return ListenPlace::Here;
    return ListenPlace::Elsewhere;
}

} // namespace veltaro::win32
