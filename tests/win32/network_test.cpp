// The Winsock links against sockets of the test itself, on the loopback interface.
#include "adapters/win32/network_win32.h"
#include "base/errors.h"
#include "support.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <string>
#include <vector>

using veltaro::BindError;
using veltaro::IStreamLink;

namespace {

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A non-blocking socket bound to 127.0.0.1 (or ::1) at the port, of the system's choice when 0,
// with the socket option set first if one is given; for TCP listening, unless the backlog is
// negative.
struct Bound {
    SOCKET s;
    std::uint16_t port = 0;
    explicit Bound(int type, int backlog = 4, int family = AF_INET, std::uint16_t at = 0,
                   int option = 0, ULONG address = INADDR_LOOPBACK)
        : s(socket(family, type, 0)) {
        const BOOL on = TRUE;
        if (option)
            setsockopt(s, SOL_SOCKET, option, reinterpret_cast<const char*>(&on), sizeof on);
        sockaddr_storage a{};
        int len = family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (family == AF_INET6) {
            auto* in6 = reinterpret_cast<sockaddr_in6*>(&a);
            in6->sin6_family = AF_INET6;
            in6->sin6_addr = in6addr_loopback;
            in6->sin6_port = htons(at);
        } else {
            *reinterpret_cast<sockaddr_in*>(&a) = loopback(at);
            reinterpret_cast<sockaddr_in*>(&a)->sin_addr.s_addr = htonl(address);
        }
        bind(s, reinterpret_cast<sockaddr*>(&a), len);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(reinterpret_cast<sockaddr_in*>(&a)->sin_port); // same place in both
        u_long nonBlocking = 1;
        ioctlsocket(s, FIONBIO, &nonBlocking);
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
    // The datagrams waiting.
    int count() const {
        char buffer[64];
        int n = 0;
        while (recv(s, buffer, sizeof buffer, 0) > 0)
            ++n;
        return n;
    }
};

// Sends n one-byte datagrams to the IPv4 address and port, through loopback.
void sendDatagrams(const char* to, std::uint16_t port, int n) {
    const Bound sender(SOCK_DGRAM);
    const BOOL on = TRUE;
    setsockopt(sender.s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on);
    in_addr lo{};
    lo.s_addr = htonl(INADDR_LOOPBACK);
    setsockopt(sender.s, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&lo),
               sizeof lo);
    sockaddr_in a = loopback(port);
    inet_pton(AF_INET, to, &a.sin_addr);
    for (int i = 0; i < n; ++i)
        sendto(sender.s, "x", 1, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a);
}

// The TCP_NODELAY option of the socket of this process at the other end of `accepted`, found
// among the process's handles by its address; -1 when there is none.
int noDelayAtTheOtherEnd(SOCKET accepted) {
    sockaddr_in remote{};
    int size = sizeof remote;
    getpeername(accepted, reinterpret_cast<sockaddr*>(&remote), &size);
    for (UINT_PTR handle = 4; handle < 0x10000; handle += 4) {
        sockaddr_in at{};
        size = sizeof at;
        const auto s = static_cast<SOCKET>(handle);
        if (getsockname(s, reinterpret_cast<sockaddr*>(&at), &size) != 0 || size != sizeof at ||
            at.sin_port != remote.sin_port || at.sin_addr.s_addr != remote.sin_addr.s_addr)
            continue;
        DWORD on = 0;
        size = sizeof on;
        return getsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), &size) == 0
                   ? on != 0
                   : -1;
    }
    return -1;
}

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

// A name is looked up, the link connects (without delaying small writes), bytes go both ways,
// and the server's end is told once; an IPv6 address connects too; a refused connect is told as
// closed only; nothing runs after close(), even while a name is being looked up.
TEST(Network, StreamLinkConnectsExchangesBytesAndTellsItsEndOnce) {
    veltaro::win32::Win32Network net;
    const Bound server(SOCK_STREAM);
    auto link = net.makeStreamLink();
    Events e;
    link->connect({"localhost", server.port}, e.handlers());
    const SOCKET peer = server.accept();
    ASSERT_NE(peer, INVALID_SOCKET);
    ASSERT_TRUE(wintest::pumpUntil([&] { return e.connected == 1; }, 5000));
    EXPECT_EQ(noDelayAtTheOtherEnd(peer), 1);
    link->send("f\n");
    char request[8] = {};
    EXPECT_TRUE(wintest::pumpUntil([&] { return recv(peer, request, 2, 0) == 2; }, 5000));
    EXPECT_STREQ(request, "f\n");
    send(peer, "14074000\n", 9, 0);
    EXPECT_TRUE(wintest::pumpUntil([&] { return e.bytes == "14074000\n"; }, 5000));
    closesocket(peer);
    wintest::pumpUntil([] { return false; }, 300);
    EXPECT_EQ(e.closed, std::vector<std::string>{"closed by the server"});

    const Bound server6(SOCK_STREAM, 4, AF_INET6);
    Events v6;
    link->connect({"::1", server6.port}, v6.handlers());
    EXPECT_TRUE(wintest::pumpUntil([&] { return v6.connected + v6.closed.size() > 0; }, 5000));
    EXPECT_EQ(v6.connected, 1) << (v6.closed.empty() ? "" : v6.closed[0]);

    Events refused;
    const std::uint16_t nobody = Bound(SOCK_STREAM).port; // closed again at once
    link->connect({"127.0.0.1", nobody}, refused.handlers());
    wintest::pumpUntil([] { return false; }, 500);
    EXPECT_EQ(refused.connected, 0);
    EXPECT_EQ(refused.closed, std::vector<std::string>{"connection refused"});

    Events silenced;
    for (const char* host : {"127.0.0.1", "localhost"}) {
        link->connect({host, server.port}, silenced.handlers());
        link->close();
    }
    wintest::pumpUntil([] { return false; }, 300);
    EXPECT_EQ(silenced.connected + silenced.closed.size(), 0u);
}

// The name server answers only once connect() has returned; each address it gives is tried in
// turn (the first refused); a link destroyed while its name is looked up is left alone; an
// unknown name and a refused port are told in plain words.
TEST(Network, NameIsLookedUpWithoutWaitingAndEachAddressTriedInTurn) {
    const HANDLE answer = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::atomic<int> lookups{0};
    {
        veltaro::win32::Win32Network net([&](const std::string& host, int* error) {
            WaitForSingleObject(answer, 5000); // gives up when connect() waits for it
            const bool known = host == "rig-pc" && WaitForSingleObject(answer, 0) == WAIT_OBJECT_0;
            *error = known ? 0 : WSAHOST_NOT_FOUND;
            ++lookups;
            return known ? std::vector<std::string>{"::1", "127.0.0.1"}
                         : std::vector<std::string>{};
        });
        const Bound server(SOCK_STREAM);
        const std::uint16_t nobody = Bound(SOCK_STREAM).port;
        auto link = net.makeStreamLink();
        auto gone = net.makeStreamLink();
        Events e, none;
        link->connect({"rig-pc", server.port}, e.handlers());
        gone->connect({"rig-pc", server.port}, none.handlers());
        gone.reset();
        SetEvent(answer);
        ASSERT_TRUE(wintest::pumpUntil([&] { return e.connected + e.closed.size() > 0; }, 8000));
        EXPECT_EQ(e.connected, 1) << (e.closed.empty() ? "" : e.closed[0]);

        const std::vector<std::pair<veltaro::NetAddress, std::string>> failures{
            {{"rig-pc", nobody}, "connection refused"},
            {{"no-such-host", server.port}, "host not found"}};
        for (const auto& [address, reason] : failures) {
            Events f;
            link->connect(address, f.handlers());
            EXPECT_TRUE(wintest::pumpUntil([&] { return !f.closed.empty(); }, 5000));
            EXPECT_EQ(f.closed, std::vector<std::string>{reason}) << address.host;
        }
        EXPECT_TRUE(wintest::pumpUntil([&] { return lookups == 4; }, 5000));
        wintest::pumpUntil([] { return false; }, 200);
        EXPECT_EQ(none.connected + none.closed.size(), 0u);
    }
    CloseHandle(answer);
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
    EXPECT_EQ(e.closed, std::vector<std::string>{"no answer within 3 s"});
    EXPECT_EQ(e.connected, 0);
}

// A unicast port that another program holds, even one that bound it for sharing, is left to it:
// it keeps every datagram and the listen fails, saying so. Each datagram of up to 8 KiB comes
// whole, a longer one is dropped.
TEST(Network, DatagramSocketLeavesAUnicastPortToItsHolderAndDropsLongDatagrams) {
    veltaro::win32::Win32Network net;
    const Bound holder(SOCK_DGRAM, 0, AF_INET, 0, SO_REUSEADDR);
    auto socket = net.makeDatagramSocket();
    try {
        socket->listen({"127.0.0.1", holder.port}, [](std::string_view) {});
        ADD_FAILURE() << "bound a port another program holds";
    } catch (const BindError& e) {
        EXPECT_EQ(e.cause(), BindError::Cause::InUse);
        EXPECT_EQ(e.what(), "port " + std::to_string(holder.port) + " is taken by another program");
    }
    sendDatagrams("127.0.0.1", holder.port, 5);
    wintest::pumpUntil([] { return false; }, 200);
    EXPECT_EQ(holder.count(), 5);

    const std::uint16_t port = Bound(SOCK_DGRAM).port;
    std::vector<std::size_t> sizes;
    socket->listen({"127.0.0.1", port}, [&](std::string_view d) { sizes.push_back(d.size()); });
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
}

// A broadcast address (that of the loopback network) and a multicast group are shared: Veltaro
// hears them alone, then another program binds the port after it, and both receive every
// datagram.
TEST(Network, DatagramSocketSharesBroadcastAndMulticastWithOtherListeners) {
    veltaro::win32::Win32Network net;
    for (const char* address : {"127.255.255.255", "239.255.12.60"}) {
        SCOPED_TRACE(address);
        const std::uint16_t port = Bound(SOCK_DGRAM).port;
        int heard = 0;
        auto socket = net.makeDatagramSocket();
        ASSERT_NO_THROW(socket->listen({address, port}, [&](std::string_view) { ++heard; }));
        sendDatagrams(address, port, 1);
        EXPECT_TRUE(wintest::pumpUntil([&] { return heard == 1; }, 5000));

        const Bound other(SOCK_DGRAM, 0, AF_INET, port, SO_REUSEADDR, INADDR_ANY);
        ASSERT_EQ(other.port, port);
        ip_mreq group{};
        inet_pton(AF_INET, address, &group.imr_multiaddr);
        group.imr_interface.s_addr = htonl(INADDR_LOOPBACK);
        setsockopt(other.s, IPPROTO_IP, IP_ADD_MEMBERSHIP, reinterpret_cast<const char*>(&group),
                   sizeof group); // refused for the broadcast address
        sendDatagrams(address, port, 3);
        EXPECT_TRUE(wintest::pumpUntil([&] { return heard == 4; }, 5000)) << heard;
        EXPECT_EQ(other.count(), 3);
    }
}

// Only an address of this computer is listened on: another machine's address (never sent to)
// and a name are refused at once, without trying again, and canListenOn says so beforehand.
TEST(Network, ListeningOnAnotherMachinesAddressOrANameIsRefused) {
    veltaro::win32::Win32Network net;
    for (const char* host : {"192.0.2.1", "logger-pc"}) {
        try {
            net.makeDatagramSocket()->listen({host, 12060}, {});
            ADD_FAILURE() << "listened on " << host;
        } catch (const BindError& e) {
            EXPECT_EQ(e.cause(), BindError::Cause::NotHere);
            EXPECT_FALSE(e.retryHelps());
            EXPECT_EQ(e.what(), std::string(host) + " is not an address of this computer");
        }
    }
    const std::vector<std::pair<std::string, bool>> hosts{{"127.0.0.1", true},
                                                          {"localhost", true},
                                                          {"0.0.0.0", true},
                                                          {"::1", true},
                                                          {"::", true},
                                                          {"255.255.255.255", true},
                                                          {"127.255.255.255", true},
                                                          {"239.0.0.1", true},
                                                          {"ff02::1:3", true},
                                                          {"192.0.2.1", false},
                                                          {"logger-pc", false},
                                                          {"fd00::99", false}};
    for (const auto& [host, here] : hosts)
        EXPECT_EQ(net.canListenOn(host), here) << host;
}

// The feed's sender hands each datagram over whole, without waiting, to a unicast, a broadcast
// (the loopback network's) or an IPv6 address; what cannot be sent is refused with its reason.
TEST(Network, DatagramSenderSendsWholeDatagramsAndSaysWhyNot) {
    veltaro::win32::Win32Network net;
    const std::string datagram = "{\"sequence\":1,\"source\":\"Hamlib\"}";
    for (const char* host : {"127.0.0.1", "localhost", "127.255.255.255", "::1"}) {
        SCOPED_TRACE(host);
        const bool v6 = std::string(host) == "::1";
        const Bound listener(SOCK_DGRAM, 0, v6 ? AF_INET6 : AF_INET, 0, 0, INADDR_ANY);
        auto sender = net.makeDatagramSender();
        ASSERT_NO_THROW(sender->open({host, listener.port}));
        std::string why;
        EXPECT_TRUE(sender->send(datagram, why)) << why;
        char buffer[256];
        int got = -1;
        EXPECT_TRUE(wintest::pumpUntil(
            [&] { return (got = recv(listener.s, buffer, sizeof buffer, 0)) > 0; }, 5000));
        EXPECT_EQ(std::string(buffer, std::max(got, 0)), datagram);
    }

    auto sender = net.makeDatagramSender();
    std::string why;
    EXPECT_FALSE(sender->send(datagram, why));
    EXPECT_EQ(why, "not open");
    try {
        sender->open({"logger-pc", 12070});
        ADD_FAILURE() << "opened a name";
    } catch (const veltaro::LinkError& e) {
        EXPECT_EQ(e.what(), std::string("logger-pc is a name: give a numeric address"));
        EXPECT_FALSE(e.retryHelps());
    }
    const Bound listener(SOCK_DGRAM);
    sender->open({"127.0.0.1", listener.port});
    EXPECT_FALSE(sender->send(std::string(70000, 'x'), why));
    EXPECT_EQ(why, "the datagram is too long");
}
