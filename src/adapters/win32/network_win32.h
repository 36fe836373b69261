// Responsibilities: the network links over Winsock: a TCP connection that reports its outcome,
// the server's bytes and its end, and a UDP socket bound shared (address reuse) that hands over
// each datagram of at most 8 KiB (a longer one is dropped). Every socket is non-blocking and
// reports through messages (WSAAsyncSelect) to one message-only window, so nothing waits on the
// network inside a window procedure: a host name is resolved asynchronously as well, and a
// connection not made within ConnectTimeoutMs counts as closed. Winsock is started once, by the
// Win32Network object, and cleaned up when it and the last of its links have gone.
// Collaborations: implements INetwork for sources/ (rigctld, flrig, RadioInfo); the handlers run
// on the thread that made the Win32Network (the user-interface thread) from its message loop.
#pragma once

#include "ports/network.h"

#include <memory>

namespace veltaro::win32 {

class SocketHub;

class Win32Network : public INetwork {
public:
    static constexpr unsigned ConnectTimeoutMs = 3000;
    static constexpr std::size_t MaxDatagram = 8192;

    // Raises LinkError when Winsock cannot be started.
    Win32Network();
    ~Win32Network() override;
    Win32Network(const Win32Network&) = delete;
    Win32Network& operator=(const Win32Network&) = delete;

    std::unique_ptr<IStreamLink> makeStreamLink() override;
    std::unique_ptr<IDatagramSocket> makeDatagramSocket() override;
    bool canListenOn(const std::string& host) override;

private:
    std::shared_ptr<SocketHub> hub_;
};

} // namespace veltaro::win32
