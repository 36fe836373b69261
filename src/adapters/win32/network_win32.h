// Responsibilities: the network links over Winsock: a TCP connection that reports its outcome,
// the server's bytes and its end, a UDP socket that hands over each datagram of at most 8 KiB
// (a longer one is dropped), and a UDP sender whose sendto never waits (broadcast allowed,
// multicast with a time to live of 1). A unicast address is listened on exclusively
// (SO_EXCLUSIVEADDRUSE), a broadcast or multicast one shared; only numeric addresses and
// "localhost" are listened on, checked against this computer's adapters. Every socket is
// non-blocking and reports through messages (WSAAsyncSelect) to one message-only window, so
// nothing waits on the network inside a window procedure: a host name to connect to is looked up
// on a worker thread (IPv4 and IPv6), each of its addresses tried in turn, and a connection not
// made within ConnectTimeoutMs counts as closed. Winsock is started once, by the Win32Network
// object, and cleaned up when it and the last of its links have gone.
// Collaborations: implements INetwork for sources/ (rigctld, flrig, RadioInfo) and the state
// feed; the handlers run on the thread that made the Win32Network (the user-interface thread)
// from its message loop.
#pragma once

#include "ports/network.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace veltaro::win32 {

class SocketHub;

class Win32Network : public INetwork {
public:
    static constexpr unsigned ConnectTimeoutMs = 3000;
    static constexpr std::size_t MaxDatagram = 8192;

    // Looks a host name up (on a worker thread): its numeric addresses in the order to try them,
    // or none with the Winsock error in *error. The system's getaddrinfo unless one is given.
    using NameResolver =
        std::function<std::vector<std::string>(const std::string& host, int* error)>;

    // Raises LinkError when Winsock cannot be started.
    explicit Win32Network(NameResolver resolver = {});
    ~Win32Network() override;
    Win32Network(const Win32Network&) = delete;
    Win32Network& operator=(const Win32Network&) = delete;

    std::unique_ptr<IStreamLink> makeStreamLink() override;
    std::unique_ptr<IDatagramSocket> makeDatagramSocket() override;
    std::unique_ptr<IDatagramSender> makeDatagramSender() override;
    bool canListenOn(const std::string& host) override;

private:
    std::shared_ptr<SocketHub> hub_;
};

} // namespace veltaro::win32
