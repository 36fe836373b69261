// The Linux serial line with the controller link against real parts: a device under a stable
// name that socat makes, takes away and brings back, and a picked device stored in a real
// settings file.
#include "test_support.h"

#include "adapters/qt/network_qt.h"
#include "adapters/qt/serial_line_qt.h"
#include "adapters/qt/settings_store_qt.h"
#include "adapters/qt/timers_qt.h"
#include "core/fakes.h"
#include "relay/controller_link.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <ctime>

namespace veltaro::qt::test {
namespace {

using support::Child;
using support::waitUntil;

// socat's end of a pseudo-terminal that it links as `link`; what arrives is on its output.
struct Device : Child {
    explicit Device(const QString& link)
        : Child("socat", {"-u", "pty,link=" + link + ",raw,echo=0", "STDOUT"}) {
        waitUntil([&] { return QFileInfo::exists(link); }, 3000);
    }
    QByteArray command(int ms) {
        QByteArray got;
        waitUntil([&] { return (got += process().readAllStandardOutput()).endsWith(';'); }, ms);
        return got;
    }
};

TEST(QtSerialLinePorts, DeviceBackUnderItsNameIsReopenedAndGetsTheLastCommand) {
    QTemporaryDir dir;
    const QString name = dir.filePath("usb-Test_Adapter-if00-port0");
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com17"] = name.toStdString();
    QtSerialLine line(settings);
    ControllerLink link(line, [](const Notice&) {});
    QtTimers timers; // as the relay session runs it
    const auto reopen = timers.makeTimer([&] { link.reopenTick(); });
    reopen->start(ControllerLink::ReopenIntervalMs);

    Device first(name);
    ASSERT_TRUE(link.onPortPicked("Com 17"));
    link.sendFrequency(14074);
    EXPECT_EQ(first.command(2000), "FA00014074000;");
    const std::clock_t before = std::clock();
    first.process().terminate(); // socat removes its link as it ends
    first.process().waitForFinished(3000);
    ASSERT_TRUE(waitUntil([&] { return link.waitingForDevice(); }, 3000));
    link.sendFrequency(21074); // while away: kept for the return
    support::spin(1500);       // ticks that find nothing
    // A line spinning on the dead descriptor burns 0.35 s of CPU time a second or more here.
    EXPECT_LT(double(std::clock() - before) / CLOCKS_PER_SEC, 0.2);

    Device second(name);
    EXPECT_EQ(second.command(3000), "FA00021074000;");
    EXPECT_FALSE(link.waitingForDevice());
}

// The list offers the device by its link in the stable names' folder; the pick stores the link
// under the first free number and opens it.
TEST(QtSerialLinePorts, PickedStableNameIsStoredInThePortsSection) {
    support::ConfigHome home;
    home.write("[Ports]\nCom17=/dev/serial/by-id/other\n");
    QTemporaryDir byId;
    support::Pty pty;
    const QString name = byId.filePath("usb-Test_Adapter-if00-port0");
    ASSERT_TRUE(QFile::link(pty.path(), name));
    QtSettingsStore store;
    QtSerialLine line(store, {}, byId.path().toStdString());
    ControllerLink link(line, [](const Notice&) {});

    const auto items = link.refreshPortItems();
    ASSERT_EQ(std::count(items.begin(), items.end(), name.toStdString()), 1);
    ASSERT_TRUE(link.onPortPicked(name.toStdString()));
    EXPECT_EQ(QSettings(home.settingsFile(), QSettings::IniFormat).value("Ports/Com18").toString(),
              name);
    link.sendFrequency(7074);
    EXPECT_EQ(pty.readAtLeast(14, 2000), "FA00007074000;");
}

// A serial server on loopback: the command reaches it, its bytes (FF included) come back, and
// after it went away for 1 s it is connected to again and gets the newest command.
TEST(QtSerialLinePorts, SerialServerAwayForASecondGetsTheCommandAgain) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    const quint16 port = server.serverPort();
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com17"] = "tcp:127.0.0.1:" + std::to_string(port);
    fake::SerialLine line;
    QtNetwork network;
    QtTimers timers;
    SteadyClock clock;
    std::vector<std::string> notices;
    ControllerLink link(line, {network, settings, timers, clock},
                        [&](const Notice& n) { notices.push_back(n.text); });
    std::string got;
    link.setReceiveHandler([&](std::string_view bytes) { got += bytes; });
    QTcpSocket* peer = nullptr;
    const auto command = [&](int ms) {
        QByteArray bytes;
        waitUntil(
            [&] {
                if (!peer && server.hasPendingConnections())
                    peer = server.nextPendingConnection();
                return peer && (bytes += peer->readAll()).endsWith(';');
            },
            ms);
        return bytes;
    };

    link.openAtStartup(17, "17");
    link.sendFrequency(14074);
    EXPECT_EQ(command(2000), "FA00014074000;");
    peer->write("\x40\x41\xff\r", 4);
    EXPECT_TRUE(waitUntil([&] { return got.size() == 4; }, 2000));
    EXPECT_EQ(got, std::string("\x40\x41\xff\r", 4));

    support::spin(ServerControllerPort::SteadyMs);
    delete peer;
    peer = nullptr;
    server.close();
    ASSERT_TRUE(waitUntil([&] { return link.waitingForDevice(); }, 2000));
    link.sendFrequency(21074);
    support::spin(1000);
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, port));
    EXPECT_EQ(command(3000), "FA00021074000;");
    EXPECT_TRUE(link.isOpen());
    EXPECT_EQ(notices, std::vector<std::string>{"127.0.0.1:" + std::to_string(port) +
                                                ": the serial server has gone away. Veltaro will "
                                                "connect again when it is back."});
}

} // namespace
} // namespace veltaro::qt::test
