// The Winsock links against sockets of the test itself, on the loopback interface.
#include "base/errors.h"
#include "adapters/win32/network_win32.h"
#include "support.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

using veltaro::IStreamLink;

namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A non-blocking socket bound to 127.0.0.1 at a port of the system's choice; for TCP listening,
// unless the backlog is negative.
struct Bound {
    SOCKET s;
    std::uint16_t port = 0;
    explicit Bound(int type, int backlog = 4) : s(socket(AF_INET, type, 0)) {
        sockaddr_in a = loopback(0);
        int len = sizeof a;
        bind(s, reinterpret_cast<sockaddr*>(&a), len);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
        u_long on = 1;
        ioctlsocket(s, FIONBIO, &on);
        if (type == SOCK_STREAM && backlog >= 0)
            listen(s, backlog);
    }
    ~Bound() { closesocket(s); }
    Bound(const Bound&) = delete;
    SOCKET accept() const {
        SOCKET c = INVALID_SOCKET;
        wintest::pumpUntil([&] { return (c = ::accept(s, nullptr, nullptr)) != INVALID_SOCKET; },
                           5000);
        return c;
    }
};

struct Events {
    int connected = 0;
    std::string bytes;
    std::vector<std::string> closed;
    IStreamLink::Handlers handlers() {
        return {[this] { ++connected; }, [this](std::string_view b) { bytes += b; },
                [this](const std::string& why) { closed.push_back(why); }};
    }
};

} // namespace

// A name is looked up, the link connects, bytes go both ways, and the server's end is told once;
// a refused connect is told as closed only; nothing runs after close().
TEST(Network, StreamLinkConnectsExchangesBytesAndTellsItsEndOnce) {
    veltaro::win32::Win32Network net;
    const Bound server(SOCK_STREAM);
    auto link = net.makeStreamLink();
    Events e;
    link->connect({"localhost", server.port}, e.handlers());
    const SOCKET peer = server.accept();
    ASSERT_NE(peer, INVALID_SOCKET);
    ASSERT_TRUE(wintest::pumpUntil([&] { return e.connected == 1; }, 5000));
    link->send("f\n");
    char request[8] = {};
    EXPECT_TRUE(wintest::pumpUntil([&] { return recv(peer, request, 2, 0) == 2; }, 5000));
    EXPECT_STREQ(request, "f\n");
    send(peer, "14074000\n", 9, 0);
    EXPECT_TRUE(wintest::pumpUntil([&] { return e.bytes == "14074000\n"; }, 5000));
    closesocket(peer);
    wintest::pumpUntil([] { return false; }, 300);
    EXPECT_EQ(e.closed, std::vector<std::string>{"closed by the server"});

    Events refused;
    const std::uint16_t nobody = Bound(SOCK_STREAM).port; // closed again at once
    link->connect({"127.0.0.1", nobody}, refused.handlers());
    wintest::pumpUntil([] { return false; }, 500);
    EXPECT_EQ(refused.connected, 0);
    EXPECT_EQ(refused.closed, std::vector<std::string>{"connection refused"});

    Events silenced;
    link->connect({"127.0.0.1", server.port}, silenced.handlers());
    link->close();
    wintest::pumpUntil([] { return false; }, 300);
    EXPECT_EQ(silenced.connected + silenced.closed.size(), 0u);
}

// A server whose queue is full never answers: the connect counts as closed after the timeout.
TEST(Network, ConnectNotAnsweredInTimeIsClosed) {
    veltaro::win32::Win32Network net;
    const Bound server(SOCK_STREAM, 0);
    std::deque<Bound> fillers;
    const sockaddr_in to = loopback(server.port);
    for (int i = 0; i < 3; ++i)
        connect(fillers.emplace_back(SOCK_STREAM, -1).s, reinterpret_cast<const sockaddr*>(&to),
                sizeof to);
    auto link = net.makeStreamLink();
    Events e;
    link->connect({"127.0.0.1", server.port}, e.handlers());
    ASSERT_TRUE(wintest::pumpUntil([&] { return !e.closed.empty(); }, 8000));
    EXPECT_EQ(e.closed, std::vector<std::string>{"timed out"});
    EXPECT_EQ(e.connected, 0);
}

// The port is shared with other listeners; each datagram of up to 8 KiB comes whole, a longer one
// is dropped; a port that another socket holds without sharing is refused.
TEST(Network, DatagramSocketSharesItsPortAndDropsLongDatagrams) {
    veltaro::win32::Win32Network net;
    const std::uint16_t port = Bound(SOCK_DGRAM).port;
    std::vector<std::size_t> sizes;
    auto socket = net.makeDatagramSocket();
    socket->listen({"127.0.0.1", port}, [&](std::string_view d) { sizes.push_back(d.size()); });
    {
        auto other = net.makeDatagramSocket();
        EXPECT_NO_THROW(other->listen({"127.0.0.1", port}, [](std::string_view) {}));
    }
    const Bound sender(SOCK_DGRAM);
    const sockaddr_in to = loopback(port);
    for (const std::size_t size : {8193u, 8192u, 1u}) {
        const std::string datagram(size, 'x');
        sendto(sender.s, datagram.data(), static_cast<int>(size), 0,
               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    }
    EXPECT_TRUE(wintest::pumpUntil([&] { return sizes.size() >= 2; }, 5000));
    wintest::pumpUntil([] { return false; }, 200);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{8192, 1}));

    EXPECT_THROW(net.makeDatagramSocket()->listen({"127.0.0.1", sender.port}, {}),
                 veltaro::LinkError);
}
