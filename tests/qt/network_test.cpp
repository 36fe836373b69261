// The stream link's connect timeout on the loopback, which the whole program cannot show (tests/e2e
// runs the network adapters against rigctld, flrig and a UDP sender).
#include "platform/qt/network_qt.h"
#include "support/test_support.h"

#include <QtNetwork>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

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
    std::vector<std::string> closed;
    QElapsedTimer clock;
    clock.start();
    link.connect(
        {"127.0.0.1", ntohs(addr.sin_port)},
        {[&] { ++connected; }, {}, [&](const std::string& why) { closed.push_back(why); }});
    ASSERT_TRUE(veltaro::support::waitUntil([&] { return !closed.empty(); }, 6000));
    EXPECT_GE(clock.elapsed(), 3000);
    veltaro::support::spin(100);
    EXPECT_EQ(closed.size(), 1u);
    EXPECT_EQ(connected, 0);
    ::close(listener);
}

} // namespace
