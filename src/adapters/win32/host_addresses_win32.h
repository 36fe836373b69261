// Responsibilities: the addresses a socket is given, without any name lookup: a numeric host
// (IPv4, IPv6) or "localhost" made into a socket address, the addresses of this computer's
// adapters, and what a listening address is: an address of this computer (or the wildcard, or
// loopback), a broadcast address, a multicast group, or another machine's address. A bind alone
// cannot tell the last: Wine lets a socket bind any IPv4 address, this computer's or not.
// Collaborations: network_win32 binds its datagram sockets and answers canListenOn through it;
// the adapters are read through the IP helper API (GetAdaptersAddresses).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veltaro::win32 {

struct SocketAddress {
    sockaddr_storage storage{};
    int length = 0;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
    // The same address of the same family, with another port.
    SocketAddress withPort(std::uint16_t port) const;
    // The wildcard address of the family, with the port.
    SocketAddress wildcard() const;
    // "127.0.0.1", "::1", "fe80::1%4": the address without its port.
    std::string text() const;
};

// A numeric IPv4 or IPv6 host ("%zone" allowed) with the port; nothing for a name or "":
// nothing is looked up.
std::optional<SocketAddress> numericAddress(const std::string& host, std::uint16_t port);
// The same for listening, where "localhost" is 127.0.0.1 and "" the IPv4 wildcard.
std::optional<SocketAddress> listenAddress(const std::string& host, std::uint16_t port);

// An address of one of this computer's adapters, with the length of its network's prefix and
// the adapter's interface index.
struct AdapterAddress {
    SocketAddress address;
    unsigned prefixLength = 0;
    unsigned long interfaceIndex = 0;
};
// Every unicast address of every adapter (loopback included); none when they cannot be read.
std::vector<AdapterAddress> adapterAddresses();

enum class ListenPlace {
    Here,      // the wildcard, loopback, or an address of one of the adapters
    Broadcast, // 255.255.255.255, or the broadcast address of one of the adapters' networks
    Multicast, // a multicast group
    Elsewhere, // none of these: another machine's address
};
ListenPlace listenPlaceOf(const SocketAddress& address,
                          const std::vector<AdapterAddress>& adapters);

} // namespace veltaro::win32
