// The serial adapter against pseudo-terminals: what reaches the wire, the line settings the tty
// ends up with, port names, the ways opening fails, a device that goes away, and the bounded
// backlog.
#include "child.h"

#include "core/fakes.h"
#include "platform/errors.h"
#include "platform/qt/serial_line_qt.h"
#include "platform/qt/settings_store_qt.h"

#include <QDeadlineTimer>
#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <termios.h>
#include <time.h>

#include <cstdio>

namespace veltaro::qt::test {
namespace {

using support::Pty;

QByteArray command(int kHz) {
    char text[32];
    std::snprintf(text, sizeof text, "FA%08d000;", kHz);
    return text;
}

// The tty's output speed and whether it has two stop bits: what a pty keeps of line settings.
std::pair<speed_t, bool> ttyLine(const Pty& pty) {
    termios t{};
    ::tcgetattr(pty.slave(), &t);
    return {cfgetospeed(&t), bool(t.c_cflag & CSTOPB)};
}

// A line whose "COM5" is a fresh pseudo-terminal.
struct PtyLine {
    Pty pty;
    fake::SettingsStore settings;
    QtSerialLine line;
    explicit PtyLine(QtSerialLine::QueuedBytesProbe probe = {})
        : line((settings.values["Veltaro/Ports/Com5"] = pty.path().toStdString(), settings),
               std::move(probe)) {}
};

TEST(QtSerialLine, SendsTheExactCommandAt4800N81OnlyWhileOpen) {
    PtyLine p;
    EXPECT_THROW(p.line.send("FA00021074000;"), PortError);
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        p.line.open("COM5");
        EXPECT_EQ(ttyLine(p.pty), std::make_pair(speed_t(B4800), false));
        p.line.send("FA00014074000;");
        // No event loop runs here: the bytes must already be on their way.
        QByteArray got;
        for (int i = 0; i < 200 && got.size() < 14; ++i, ::usleep(1000))
            got += p.pty.readNow();
        EXPECT_EQ(got, QByteArray("FA00014074000;"));

        p.line.close();
        EXPECT_FALSE(p.line.isOpen());
        EXPECT_THROW(p.line.send("FA00007074000;"), PortError);
        EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "sent while closed, or extra bytes";
        // Somebody else changes the tty before the next open.
        termios t{};
        ::tcgetattr(p.pty.slave(), &t);
        cfsetospeed(&t, B9600);
        t.c_cflag |= CSTOPB;
        ::tcsetattr(p.pty.slave(), TCSANOW, &t);
    }
}

TEST(QtSerialLine, PortNamesMapThroughThePortsSection) {
    support::ConfigHome home;
    Pty pty;
    const char* byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0";
    home.write("[Ports]\nCom12=" + QFile::encodeName(pty.path()) + "\nCom7=" + byId +
               "\nCom8=\nCom3=/dev/veltaro-no-such-device\n");
    QtSettingsStore store;
    QtSerialLine line(store);
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"COM7", byId},
        {"COM8", "/dev/ttyS7"}, // empty: not mapped
        {"COM1", "/dev/ttyS0"},
        {"COM255", "/dev/ttyS254"},
        {"com2", "/dev/ttyS1"},
        {"COM0", {}},
        {"COM256", {}},
        {"COM01", {}},
        {"COM", {}},
        {"COM 1", {}},
        {"COM1x", {}},
        {"LPT1", {}},
        {"", {}},
    };
    for (const auto& [name, device] : cases)
        EXPECT_EQ(line.deviceFor(name), device) << name;

    line.open("COM12");
    line.send("FA00028074000;");
    EXPECT_EQ(pty.readAtLeast(14, 2000), QByteArray("FA00028074000;"));
    EXPECT_THROW(line.open("COM0"), PortError);
    EXPECT_FALSE(line.isOpen());
    try {
        line.open("COM3");
        ADD_FAILURE() << "opened a missing device";
    } catch (const PortError& e) {
        EXPECT_NE(std::string(e.what()).find("/dev/veltaro-no-such-device"), std::string::npos);
    }
}

// An open port is held exclusively, so a second line can open it only once the first let go.
TEST(QtSerialLine, OpeningReleasesThePortOpenBeforeAndAFailedOpenLeavesItClosed) {
    Pty five, six;
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com5"] = five.path().toStdString();
    settings.values["Veltaro/Ports/Com6"] = six.path().toStdString();
    QtSerialLine line(settings), other(settings);
    line.open("COM5");
    EXPECT_NO_THROW(line.open("COM5")) << "the same port again";
    line.open("COM6");
    EXPECT_NO_THROW(other.open("COM5")) << "COM5 was not released";
    line.send("FA00014074000;");
    EXPECT_EQ(six.readAtLeast(14, 2000), QByteArray("FA00014074000;"));
    EXPECT_EQ(five.readAtLeast(1, 100), QByteArray());

    EXPECT_THROW(line.open("COM5"), PortError); // in use
    EXPECT_FALSE(line.isOpen());
    EXPECT_NO_THROW(other.open("COM6")) << "COM6 is still held after the failed open";
    other.send("FA00007074000;"); // the user that won keeps working
    EXPECT_EQ(six.readAtLeast(14, 2000), QByteArray("FA00007074000;"));
}

TEST(QtSerialLine, DeviceWithoutPermissionDoesNotOpen) {
    SKIP_UNLESS_ROOT();
    Pty pty;
    const QByteArray path = QFile::encodeName(pty.path());
    ASSERT_EQ(::chown(path, 0, 0), 0);
    ASSERT_EQ(::chmod(path, 0600), 0);
    auto child = inChild("open", {pty.path()}, true);
    EXPECT_EQ(child.exitCode, RaisedPortError)
        << child.out.toStdString() << child.err.toStdString();
}

double processCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

TEST(QtSerialLine, VanishedDeviceClosesTheLineWithoutSpinning) {
    PtyLine p;
    p.line.open("COM5");
    p.line.send("FA00014074000;");
    EXPECT_EQ(p.pty.readAtLeast(14, 2000).size(), 14);

    p.pty.closeMaster();
    auto before = processCpuSeconds();
    support::spin(1000);
    auto used = processCpuSeconds() - before;
    std::printf("CPU time over 1 s after the device vanished: %.3f s\n", used);
    EXPECT_LT(used, 0.15); // a spinning port burns 0.35 s or more here
    EXPECT_FALSE(p.line.isOpen());
}

TEST(QtSerialLine, WriteToAVanishedDeviceRaisesAndCloses) {
    PtyLine p;
    p.line.open("COM5");
    p.pty.closeMaster(); // no event loop runs: the write is the first to notice
    EXPECT_THROW(p.line.send("FA00014074000;"), PortError);
    EXPECT_FALSE(p.line.isOpen());
}

// With the driver reporting queued bytes through the probe, a burst leaves one command waiting;
// a pty's own queue always reads empty (its bytes go straight to the master), so the driver side
// of the rule can only be driven this way.
TEST(QtSerialLine, BusyLineKeepsOnlyTheNewestCommandWaiting) {
    qint64 driverQueue = 0;
    int probeCalls = 0;
    PtyLine p([&](int) { return ++probeCalls, driverQueue; });
    p.line.open("COM5");
    p.line.send(command(14000).toStdString());
    EXPECT_EQ(p.pty.readAtLeast(14, 2000), command(14000));
    EXPECT_FALSE(p.line.hasWaitingCommand());

    driverQueue = 14; // the first command is still on the wire
    for (int kHz = 14010; kHz <= 14500; kHz += 10)
        p.line.send(command(kHz).toStdString());
    EXPECT_TRUE(p.line.hasWaitingCommand());
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "sent while the line was busy";

    driverQueue = 0;
    EXPECT_EQ(p.pty.readAtLeast(14, 2000), command(14500));
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "more than one command was waiting";
    EXPECT_FALSE(p.line.hasWaitingCommand());

    const int callsWhenIdle = probeCalls;
    support::spin(200);
    EXPECT_EQ(probeCalls, callsWhenIdle) << "the idle line is polled";

    // Closing sends the waiting command first.
    driverQueue = 14;
    p.line.send(command(7000).toStdString());
    p.line.send(command(7074).toStdString());
    p.line.close();
    EXPECT_EQ(p.pty.readAtLeast(15, 500), command(7074));
}

// The real pty: once the kernel buffer is full, QSerialPort holds the rest, and the backlog rule
// must keep every further command but the newest out of it.
TEST(QtSerialLine, BurstFasterThanTheLineSendsTheFirstAndTheNewestOnly) {
    // A pty reports no queue (TIOCOUTQ stays 0), so only the wire time of what was written can
    // tell that the line is still sending: 14 bytes take 30 ms at 4800 baud.
    PtyLine p;
    p.line.open("COM5");
    for (int i = 0; i <= 50; ++i)
        p.line.send(command(i).toStdString());
    EXPECT_TRUE(p.line.hasWaitingCommand());

    QByteArray got;
    QDeadlineTimer deadline(5000);
    while (!got.endsWith(command(50)) && !deadline.hasExpired()) {
        got += p.pty.readNow(512);
        support::spin(1);
    }
    got += p.pty.readAtLeast(1, 100);
    EXPECT_EQ(got, command(0) + command(50));
}

} // namespace
} // namespace veltaro::qt::test
