// Responsibilities: the network links of the sources that reach a rig server over IP: a TCP
// connection that delivers the server's bytes as they come, and a UDP socket that receives the
// datagrams a logger broadcasts; and a UDP sender that hands datagrams to other programs. They
// report on the user-interface thread and never block it.
// Collaborations: sources/ (the rigctld, flrig and RadioInfo sources) make their links through
// INetwork, the state feed its sender; adapters/qt implements it over QTcpSocket/QUdpSocket,
// adapters/win32 over Winsock; tests use a fake.
#pragma once

#include "base/errors.h"

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
        // The connection failed or ended, with the reason in plain words, the same on every
        // platform: "connection refused", "no answer within 3 s", "closed by the server",
        // "host not found", "network unreachable", or the platform's own text for anything
        // else. Runs once per connect(); nothing runs after it until the next connect().
        std::function<void(const std::string& reason)> closed;
    };

    virtual ~IStreamLink() = default;
    // Starts connecting, dropping any earlier connection, and returns at once: a host name is
    // resolved without blocking the caller. Exactly one of connected and closed follows, later,
    // from the event loop.
    virtual void connect(const NetAddress& address, Handlers handlers) = 0;
    // Only while connected. A failure is reported through closed, later.
    virtual void send(std::string_view bytes) = 0;
    // Drops the connection; no handler runs afterwards.
    virtual void close() = 0;
};

// The address of a datagram socket could not be bound.
class BindError : public LinkError {
public:
    enum class Cause {
        InUse,   // another socket holds the port (retrying helps once it lets go)
        NotHere, // not an address of this machine, or not a numeric one (retrying cannot help)
        Other,
    };
    BindError(Cause cause, const std::string& reason)
        : LinkError(reason, cause == Cause::NotHere ? Retry::Useless : Retry::Helps),
          cause_(cause) {}
    Cause cause() const { return cause_; }

private:
    Cause cause_;
};

class IDatagramSocket {
public:
    using Receive = std::function<void(std::string_view datagram)>;

    virtual ~IDatagramSocket() = default;
    // Binds the address and delivers each datagram from the event loop. The host is numeric
    // (IPv4 or IPv6) or "localhost"; nothing is resolved. A unicast address is bound
    // exclusively (no address reuse; SO_EXCLUSIVEADDRUSE on Windows), so that the datagrams of
    // another program listening on the port are never taken. A broadcast or multicast address
    // is bound with address reuse, shared with the other listeners, and a multicast group is
    // joined. Raises BindError when the address cannot be bound.
    virtual void listen(const NetAddress& address, Receive onDatagram) = 0;
    virtual void close() = 0;
};

class IDatagramSender {
public:
    virtual ~IDatagramSender() = default;
    // Makes a socket that sends to the address, dropping any earlier one. The host is numeric
    // (IPv4 or IPv6) or "localhost"; nothing is resolved. A broadcast address may be given; a
    // multicast group is sent to with a time to live of 1, so that its datagrams stay on the
    // local network. Raises LinkError when the address cannot be sent to (a name, say).
    virtual void open(const NetAddress& to) = 0;
    // Hands one datagram to the system without waiting. False, with the reason in plain words
    // in `why`, when it was not taken (not open, no route, no room in the system's buffer): it
    // is then dropped, never kept to be sent later.
    virtual bool send(std::string_view datagram, std::string& why) = 0;
    virtual void close() = 0;
};

class INetwork {
public:
    virtual ~INetwork() = default;
    virtual std::unique_ptr<IStreamLink> makeStreamLink() = 0;
    virtual std::unique_ptr<IDatagramSocket> makeDatagramSocket() = 0;
    virtual std::unique_ptr<IDatagramSender> makeDatagramSender() = 0;
    // Whether a datagram socket can listen on the host here, without binding anything for
    // long: a numeric address of this machine, loopback, the wildcard, a broadcast or a
    // multicast address, or "localhost". False for a name or another machine's address.
    virtual bool canListenOn(const std::string& host) = 0;
};

} // namespace veltaro
