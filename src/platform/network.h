// Responsibilities: the network links of the sources that reach a rig server over IP: a TCP
// connection that delivers the server's bytes as they come, and a UDP socket that receives the
// datagrams a logger broadcasts. Both report on the user-interface thread and never block it.
// Collaborations: sources/ (the rigctld, flrig and RadioInfo sources) make their links through
// INetwork; platform/qt implements it over QTcpSocket/QUdpSocket, platform/win32 over Winsock;
// tests use a fake.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace veltaro {

struct NetAddress {
    std::string host; // a name or a numeric IPv4/IPv6 address
    std::uint16_t port = 0;
};

class IStreamLink {
public:
    struct Handlers {
        std::function<void()> connected;
        std::function<void(std::string_view bytes)> received;
        // The connection failed or ended (refused, reset, closed by the server). Runs once per
        // connect(); nothing runs after it until the next connect().
        std::function<void(const std::string& reason)> closed;
    };

    virtual ~IStreamLink() = default;
    // Starts connecting, dropping any earlier connection, and returns at once. Exactly one of
    // connected and closed follows, later, from the event loop.
    virtual void connect(const NetAddress& address, Handlers handlers) = 0;
    // Only while connected. A failure is reported through closed, later.
    virtual void send(std::string_view bytes) = 0;
    // Drops the connection; no handler runs afterwards.
    virtual void close() = 0;
};

class IDatagramSocket {
public:
    using Receive = std::function<void(std::string_view datagram)>;

    virtual ~IDatagramSocket() = default;
    // Binds the address, shared with the other programs that listen to the same broadcasts
    // (address reuse), and delivers each datagram from the event loop. Raises LinkError when the
    // address cannot be bound.
    virtual void listen(const NetAddress& address, Receive onDatagram) = 0;
    virtual void close() = 0;
};

class INetwork {
public:
    virtual ~INetwork() = default;
    virtual std::unique_ptr<IStreamLink> makeStreamLink() = 0;
    virtual std::unique_ptr<IDatagramSocket> makeDatagramSocket() = 0;
};

} // namespace veltaro
