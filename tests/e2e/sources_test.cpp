// The sources that find the radio, with the real veltaro --headless and real parts: Hamlib's own
// rigctld (restarted under it), scripted rigctld and flrig servers, a UDP sender and another
// listener of its port, and a link publisher on the private bus that starts after Veltaro and then
// restarts.
#include "bus_fixture.h"

#include <QtNetwork>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace veltaro::support;
using namespace testing_support;
using Replies = std::map<QByteArray, QByteArray>;

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// veltaro --headless with one source's box ticked, relaying to a pty.
struct Veltaro {
    explicit Veltaro(const QString& box, const QString& addresses = {}) {
        app.write(QString("[StartUp]\n%1=1\nComPort=1\n[Ports]\nCom1=%2\n[Addresses]\n%3\n")
                      .arg(box, pty.path(), addresses)
                      .toUtf8());
        auto env = theBus().environment();
        env.insert("XDG_CONFIG_HOME", app.path());
        child = std::make_unique<Child>(app.path() + "/veltaro", QStringList{"--headless"}, env);
    }
    // The next controller command, or "" when none came within ms.
    QByteArray next(int ms = 5000) { return pty.readAtLeast(14, ms); }
    // The lines told on standard error so far.
    const QStringList& said() {
        told += QString::fromUtf8(child->process().readAllStandardError())
                    .split('\n', Qt::SkipEmptyParts);
        return told;
    }
    int saidTimes(const QString& part) { return int(said().filter(part).size()); }
    // Nothing reached the controller within ms from a Veltaro that runs: it told its start
    // before and still runs after (a program that never ran sends nothing either).
    ::testing::AssertionResult quietFor(int ms) {
        if (!waitUntil([&] { return saidTimes("runs without a window.") == 1; }, 5000))
            return ::testing::AssertionFailure()
                   << "no start line: " << said().join('|').toStdString();
        if (const QByteArray sent = next(ms); !sent.isEmpty())
            return ::testing::AssertionFailure() << "sent " << sent.toStdString();
        if (!child->running())
            return ::testing::AssertionFailure() << "ended";
        return ::testing::AssertionSuccess();
    }

    Pty pty;
    Program app{VELTARO_BIN};
    std::unique_ptr<Child> child;
    QStringList told;
};

// A TCP server played by the test, answering each request (on the loopback, each arrives in
// one piece): rigctld's lines from a table, flrig's XML-RPC methods with a value from a table.
struct Scripted {
    Scripted(Replies& replies, bool http) {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this, &replies, http] {
            while (QTcpSocket* s = server.nextPendingConnection())
                QObject::connect(s, &QTcpSocket::readyRead, s, [s, &replies, http] {
                    const QByteArray request = s->readAll();
                    if (!http)
                        return void(s->write(replies[request.trimmed()]));
                    const auto from = request.indexOf("<methodName>") + 12;
                    const QByteArray body =
                        "<methodResponse><params><param><value>" +
                        replies[request.mid(from, request.indexOf("</") - from)] +
                        "</value></param></params></methodResponse>";
                    s->write("HTTP/1.1 200 OK\r\nContent-Length: " +
                             QByteArray::number(body.size()) + "\r\n\r\n" + body);
                });
        });
    }
    QString address() const { return "127.0.0.1:" + QString::number(server.serverPort()); }
    QTcpServer server;
};

// Hamlib's dummy radio starts at 145 MHz. A restarted rigctld is found again, and the 10 kHz
// rule holds against the value relayed before the restart.
TEST(NetworkSources, HamlibFollowsARealRigctldAcrossARestart) {
    const QString rigctldPath = QStandardPaths::findExecutable("rigctld");
    const QString rigctl = QStandardPaths::findExecutable("rigctl");
    ASSERT_FALSE(rigctldPath.isEmpty() || rigctl.isEmpty()) << "needs libhamlib-utils";
    const QString port = QString::number(freePort()), at = "127.0.0.1:" + port;
    const auto startRig = [&] {
        auto rig = std::make_unique<Child>(rigctldPath,
                                           QStringList{"-m", "1", "-T", "127.0.0.1", "-t", port});
        waitUntil([&] { return run(rigctl, {"-m", "2", "-r", at, "f"}).exitCode == 0; }, 3000);
        return rig;
    };
    const auto tune = [&](const char* hz) {
        ASSERT_EQ(run(rigctl, {"-m", "2", "-r", at, "F", hz}).exitCode, 0);
    };
    Veltaro v("CheckHamlib", "Hamlib=" + at);
    EXPECT_TRUE(v.quietFor(2000)); // no rigctld yet
    auto rig = startRig();
    EXPECT_EQ(v.next(), "FA00145000000;");
    tune("14074000");
    EXPECT_EQ(v.next(), "FA00014074000;");
    tune("145000000");
    EXPECT_EQ(v.next(), "FA00145000000;");
    rig.reset();
    rig = startRig();
    EXPECT_TRUE(v.quietFor(3000)); // 145 MHz again: nothing new to relay
    tune("145020000");
    EXPECT_EQ(v.next(), "FA00145020000;");
}

// The other VFO in split; the dial without.
TEST(NetworkSources, FlrigFollowsTheTransmitVfo) {
    Replies values{{"rig.get_xcvr", "IC-7300"},  {"rig.get_split", "<i4>1</i4>"},
                   {"rig.get_AB", "A"},          {"rig.get_vfoA", "14074000"},
                   {"rig.get_vfoB", "14080000"}, {"rig.get_vfo", "21074000"}};
    Scripted server(values, true);
    Veltaro v("CheckFlrig", "flrig=" + server.address());
    EXPECT_EQ(v.next(), "FA00014080000;");
    values["rig.get_split"] = "0";
    EXPECT_EQ(v.next(), "FA00021074000;");
}

// Garbage, oversized (even with a good start) and foreign datagrams in a flood are dropped; the
// radio with transmit focus is followed.
TEST(NetworkSources, N1mmBroadcastsAreFollowedThroughAFlood) {
    QUdpSocket sender;
    const quint16 port = freePort();
    const auto info = [](int radio, int tx10Hz, int active) {
        return QString("<RadioInfo><RadioNr>%1</RadioNr><Freq>%2</Freq><TXFreq>%2</TXFreq>"
                       "<ActiveRadioNr>%3</ActiveRadioNr></RadioInfo>")
            .arg(radio)
            .arg(tx10Hz)
            .arg(active)
            .toUtf8();
    };
    const auto send = [&](const QByteArray& d) {
        sender.writeDatagram(d, QHostAddress::LocalHost, port);
    };
    Veltaro v("CheckN1MM", "N1MM=127.0.0.1:" + QString::number(port));
    QByteArray got; // sent until Veltaro listens
    for (int i = 0; i < 50 && got.size() < 14; ++i) {
        send(info(1, 1407400, 1));
        got += v.pty.readAtLeast(14 - int(got.size()), 100);
    }
    EXPECT_EQ(got, "FA00014074000;");
    for (int i = 0; i < 300; ++i) {
        send(QByteArray("\0\xff<RadioInfo><", 15));
        send(QByteArray(9000, '<'));
        send("<AppInfo><x>1</x></AppInfo>");
        send(info(2, 2107400, 1));                         // not the radio with focus
        send(info(1, 2807400, 1) + QByteArray(9000, ' ')); // whole, it is too long
        if (i % 50 == 0)
            spin(10);
    }
    EXPECT_TRUE(v.quietFor(1000));
    send(info(2, 2107400, 2)); // focus moves to radio 2
    EXPECT_EQ(v.next(), "FA00021074000;");
    EXPECT_TRUE(v.child->running());
}

// A program listening on the logger's port first, with address reuse as the format's documentation
// advises, keeps every datagram: Veltaro says once that the port is taken, and relays nothing.
TEST(NetworkSources, N1mmLeavesTheDatagramsOfAListenerThatWasThereFirst) {
    const int other = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    ::setsockopt(other, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof at;
    ASSERT_EQ(::bind(other, reinterpret_cast<sockaddr*>(&at), size), 0);
    ::getsockname(other, reinterpret_cast<sockaddr*>(&at), &size);
    const quint16 port = ntohs(at.sin_port);
    const QString taken = "another program already listens on port " + QString::number(port);

    Veltaro v("CheckN1MM", "N1MM=127.0.0.1:" + QString::number(port));
    waitUntil([&] { return v.saidTimes(taken) > 0; }, 3000); // or long enough to have bound
    QUdpSocket sender;
    for (int i = 0; i < 20; ++i)
        sender.writeDatagram(
            "<RadioInfo><RadioNr>1</RadioNr><Freq>1407400</Freq><TXFreq>1407400</TXFreq>"
            "<ActiveRadioNr>1</ActiveRadioNr></RadioInfo>",
            QHostAddress::LocalHost, port);
    EXPECT_TRUE(v.quietFor(3000));
    char buffer[512];
    int kept = 0;
    while (::recv(other, buffer, sizeof buffer, MSG_DONTWAIT) > 0)
        ++kept;
    EXPECT_EQ(kept, 20);
    EXPECT_EQ(v.saidTimes(taken), 1) << v.said().join('\n').toStdString();
    ::close(other);
}

// The program is started after Veltaro, restarts, and is taken over by another process: each
// time Veltaro links to whoever owns the name, without the poll of a retry timer.
TEST(LinkWatch, CommanderIsFollowedFromItsStartThroughRestarts) {
    Veltaro v("CheckCommander");
    EXPECT_TRUE(v.quietFor(1000));
    auto server =
        startOnBus(PUBLISHER, {"--stdin", "--as", "commander", "XmitFreq=14074"}, "ready");
    EXPECT_EQ(v.next(), "FA00014074000;");
    server.reset();
    server = startOnBus(PUBLISHER, {"--stdin", "--as", "commander", "XmitFreq=7074"}, "ready");
    EXPECT_EQ(v.next(), "FA00007074000;");
    auto next = startOnBus(
        PUBLISHER, {"--stdin", "--as", "commander", "XmitFreq=21074", "--replace"}, "ready");
    EXPECT_EQ(v.next(), "FA00021074000;");
    EXPECT_TRUE(v.child->running());
}

} // namespace
