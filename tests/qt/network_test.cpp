// The network adapters on real sockets, on the loopback only: the stream link's reasons and its
// connect timeout, and where the datagram socket listens, alone or beside another program's
// listener. "Another machine" is a documentation address (192.0.2.x) that is bound to, never
// sent to. tests/e2e runs them against rigctld, flrig and a UDP sender.
#include "adapters/qt/network_qt.h"
#include "support/test_support.h"

#include <QtNetwork>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using veltaro::BindError;
using veltaro::support::spin;
using veltaro::support::waitUntil;
using Texts = std::vector<std::string>;

// A plain IPv4 socket of another program, closed at the end.
struct RawSocket {
    explicit RawSocket(int type = SOCK_DGRAM) : fd(::socket(AF_INET, type, 0)) {}
    ~RawSocket() { ::close(fd); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    static sockaddr_in at(const char* host, quint16 port) {
        sockaddr_in a{AF_INET, htons(port), {}, {}};
        ::inet_pton(AF_INET, host, &a.sin_addr);
        return a;
    }
    void set(int level, int option, const void* value, socklen_t size) {
        EXPECT_EQ(::setsockopt(fd, level, option, value, size), 0) << option;
    }
    void reuseAddress() {
        const int on = 1;
        set(SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    }
    int bind(const char* host, quint16 port) { // 0, or the errno
        const sockaddr_in a = at(host, port);
        return ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 ? 0 : errno;
    }
    quint16 port() const {
        sockaddr_in a{};
        socklen_t len = sizeof a;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        return ntohs(a.sin_port);
    }
    void sendTo(const char* host, quint16 port, const QByteArray& datagram) {
        const sockaddr_in a = at(host, port);
        ::sendto(fd, datagram.constData(), datagram.size(), 0,
                 reinterpret_cast<const sockaddr*>(&a), sizeof a);
    }
    int pending() { // the datagrams waiting, read and counted
        char buffer[64];
        int n = 0;
        while (::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) >= 0)
            ++n;
        return n;
    }
    const int fd;
};

// A sender whose datagrams never leave this machine: broadcast and multicast go out on the
// loopback, multicast with a time to live of 0.
struct LoopbackSender : RawSocket {
    LoopbackSender() {
        const int on = 1, zero = 0;
        const in_addr loopback{htonl(INADDR_LOOPBACK)};
        set(SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        set(IPPROTO_IP, IP_MULTICAST_IF, &loopback, sizeof loopback);
        set(IPPROTO_IP, IP_MULTICAST_TTL, &zero, sizeof zero);
    }
};

quint16 freeUdpPort() {
    RawSocket probe;
    probe.bind("127.0.0.1", 0);
    return probe.port();
}

// A numeric address of 192.0.2.0/24 that is not this machine's.
std::string anotherMachine() {
    const auto mine = QNetworkInterface::allAddresses();
    for (int host = 1;; ++host)
        if (const QHostAddress a(QString("192.0.2.%1").arg(host)); !mine.contains(a))
            return a.toString().toStdString();
}

// Listens; what arrives is appended to `to`.
void listen(veltaro::qt::QtDatagramSocket& socket, const std::string& host, quint16 port,
            Texts& to) {
    socket.listen({host, port}, [&to](std::string_view d) { to.emplace_back(d); });
}

// The BindError that listening raises, if any.
std::optional<BindError> bindFailure(const std::string& host, quint16 port) {
    veltaro::qt::QtDatagramSocket socket;
    try {
        socket.listen({host, port}, [](std::string_view) {});
    } catch (const BindError& e) {
        return e;
    }
    return std::nullopt;
}

// Another program listens on the port with address reuse, as the format's documentation advises,
// before Veltaro or after it: the unicast datagrams stay with whoever bound first, and Veltaro,
// when later, is told that the port is taken.
TEST(DatagramSocket, AUnicastPortIsNeverSharedWithAnotherListener) {
    for (const char* theirs : {"127.0.0.1", "0.0.0.0"}) {
        SCOPED_TRACE(theirs);
        RawSocket other, sender;
        other.reuseAddress();
        ASSERT_EQ(other.bind(theirs, 0), 0);
        const auto failure = bindFailure("127.0.0.1", other.port());
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->cause(), BindError::Cause::InUse);
        EXPECT_TRUE(failure->retryHelps());
        EXPECT_EQ(failure->what(),
                  "port " + std::to_string(other.port()) + " is taken by another program");
        for (int i = 0; i < 20; ++i)
            sender.sendTo("127.0.0.1", other.port(), "x");
        spin(50);
        EXPECT_EQ(other.pending(), 20);
    }

    const quint16 port = freeUdpPort();
    veltaro::qt::QtDatagramSocket mine;
    Texts got;
    listen(mine, "127.0.0.1", port, got);
    RawSocket later, sender;
    later.reuseAddress();
    EXPECT_EQ(later.bind("127.0.0.1", port), EADDRINUSE);
    for (int i = 0; i < 20; ++i)
        sender.sendTo("127.0.0.1", port, "x");
    EXPECT_TRUE(waitUntil([&] { return got.size() == 20; }, 2000)) << got.size();
}

// A broadcast address, and a multicast group, are shared: another program binds the port with
// address reuse after Veltaro, and each datagram reaches both. The other program joins no group:
// only Veltaro's joining lets the loopback take the group's datagrams.
TEST(DatagramSocket, BroadcastAndMulticastAddressesAreShared) {
    for (const char* address : {"127.255.255.255", "239.255.120.60"}) {
        SCOPED_TRACE(address);
        const quint16 port = freeUdpPort();
        veltaro::qt::QtDatagramSocket mine;
        Texts got;
        ASSERT_NO_THROW(listen(mine, address, port, got));
        RawSocket other;
        other.reuseAddress();
        ASSERT_EQ(other.bind(address, port), 0);
        LoopbackSender().sendTo(address, port, "both");
        EXPECT_TRUE(waitUntil([&] { return !got.empty(); }, 2000));
        EXPECT_EQ(got, Texts{"both"});
        EXPECT_EQ(other.pending(), 1);
    }
}

// What cannot be bound here says why, and whether trying again can help.
TEST(DatagramSocket, AnAddressOfAnotherMachineOrANameIsNotListenedOn) {
    const std::string elsewhere = anotherMachine();
    const std::tuple<std::string, BindError::Cause, std::string> cases[] = {
        {elsewhere, BindError::Cause::NotHere, elsewhere + " is not an address of this computer"},
        {"shack-pc", BindError::Cause::NotHere, "shack-pc is a name: give a numeric address"},
    };
    for (const auto& [host, cause, reason] : cases) {
        SCOPED_TRACE(host);
        const auto failure = bindFailure(host, freeUdpPort());
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->cause(), cause);
        EXPECT_FALSE(failure->retryHelps());
        EXPECT_EQ(failure->what(), reason);
    }
    Texts got; // "localhost" is the one name taken: the IPv4 loopback
    veltaro::qt::QtDatagramSocket mine;
    const quint16 port = freeUdpPort();
    listen(mine, "localhost", port, got);
    RawSocket().sendTo("127.0.0.1", port, "here");
    EXPECT_TRUE(waitUntil([&] { return got == Texts{"here"}; }, 2000));
}

TEST(Network, CanListenOnAddressesOfThisMachineOnly) {
    std::vector<std::pair<std::string, bool>> cases = {
        {"127.0.0.1", true},       {"localhost", true},       {"0.0.0.0", true},
        {"127.255.255.255", true}, {"255.255.255.255", true}, {"239.255.120.60", true},
        {anotherMachine(), false}, {"shack-pc", false},       {"", false},
        {"300.1.1.1", false},
    };
    for (const QHostAddress& a : QNetworkInterface::allAddresses())
        if (a.protocol() == QAbstractSocket::IPv4Protocol || a.isLoopback())
            cases.emplace_back(a.toString().toStdString(), true); // its own
    veltaro::qt::QtNetwork network;
    for (const auto& [host, can] : cases)
        EXPECT_EQ(network.canListenOn(host), can) << host;
}

// The reasons a connection ends are the same plain words on every platform.
TEST(StreamLink, TheReasonsAConnectionEndsArePlainWords) {
    QTcpServer closing; // accepts, then closes at once
    closing.listen(QHostAddress::LocalHost);
    QObject::connect(&closing, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = closing.nextPendingConnection())
            s->close();
    });
    RawSocket bound(SOCK_STREAM); // bound, never listening: refuses
    bound.bind("127.0.0.1", 0);
    const std::pair<quint16, std::string> cases[] = {
        {bound.port(), "connection refused"},
        {closing.serverPort(), "closed by the server"},
    };
    for (const auto& [port, reason] : cases) {
        SCOPED_TRACE(reason);
        veltaro::qt::QtStreamLink link;
        Texts closed;
        link.connect({"127.0.0.1", port},
                     {{}, {}, [&](const std::string& why) { closed.push_back(why); }});
        EXPECT_TRUE(waitUntil([&] { return !closed.empty(); }, 2000));
        spin(50);
        EXPECT_EQ(closed, Texts{reason});
    }
}

// A full listen queue drops further connection requests unanswered.
TEST(StreamLink, AConnectionWithoutAnswerEndsAfterThreeSeconds) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t len = sizeof addr;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), len), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
    QTcpSocket filling[2];
    for (auto& s : filling) {
        s.connectToHost("127.0.0.1", ntohs(addr.sin_port));
        s.waitForConnected(500);
    }
    veltaro::qt::QtStreamLink link;
    int connected = 0;
    Texts closed;
    QElapsedTimer clock;
    clock.start();
    link.connect(
        {"127.0.0.1", ntohs(addr.sin_port)},
        {[&] { ++connected; }, {}, [&](const std::string& why) { closed.push_back(why); }});
    ASSERT_TRUE(waitUntil([&] { return !closed.empty(); }, 6000));
    EXPECT_GE(clock.elapsed(), 3000);
    spin(100);
    EXPECT_EQ(closed, Texts{"no answer within 3 s"});
    EXPECT_EQ(connected, 0);
    ::close(listener);
}

} // namespace
