// The serial adapter against a pseudo-terminal: what reaches the wire, the line settings the
// tty ends up with, the ways opening fails, a device that goes away, and the bounded backlog.
#include "child.h"

#include "core/fakes.h"
#include "platform/errors.h"
#include "platform/qt/serial_port_qt.h"
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

// A port mapped as "Com 5" onto a fresh pseudo-terminal.
struct PtyPort {
    Pty pty;
    fake::SettingsStore settings;
    QtSerialPort port;
    explicit PtyPort(QtSerialPort::QueuedBytesProbe probe = {})
        : port((settings.values["Veltaro/Ports/Com5"] = pty.path().toStdString(), settings),
               std::move(probe)) {
        port.setCommPort(5);
    }
    // The tty's speed, and whether it has 8 data bits, no parity and two stop bits.
    std::pair<speed_t, bool> line() const {
        termios t{};
        ::tcgetattr(pty.slave(), &t);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB), tcflag_t(CS8));
        return {cfgetospeed(&t), bool(t.c_cflag & CSTOPB)};
    }
};

TEST(QtSerialPort, SendsTheExactCommandAt4800N81OnlyWhileOpen) {
    PtyPort p;
    p.port.setSettings("4800,n,8,1"); // given while closed
    EXPECT_NO_THROW(p.port.output("FA00021074000;"));
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        p.port.setPortOpen(true);
        EXPECT_EQ(p.line(), std::make_pair(speed_t(B4800), false));
        p.port.output("FA00014074000;");
        // No event loop runs here: the bytes must already be on their way.
        QByteArray got;
        for (int i = 0; i < 200 && got.size() < 14; ++i, ::usleep(1000))
            got += p.pty.readNow();
        EXPECT_EQ(got, QByteArray("FA00014074000;"));

        p.port.setPortOpen(false);
        EXPECT_NO_THROW(p.port.output("FA00007074000;"));
        EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "sent while closed, or extra bytes";
        // Somebody else changes the tty before the next open.
        termios t{};
        ::tcgetattr(p.pty.slave(), &t);
        cfsetospeed(&t, B9600);
        ::tcsetattr(p.pty.slave(), TCSANOW, &t);
    }
}

// A pty keeps speed and stop bits but always reports 8 data bits without parity, so other sizes
// and parities (the first two refused texts) stand for settings a device refuses. A refused or
// malformed text raises PortError and leaves the line as it was.
TEST(QtSerialPort, LineSettingsReachTheTtyOrAreRefused) {
    PtyPort p;
    p.port.setPortOpen(true);
    for (auto [text, speed, twoStops] : {std::tuple{"9600,n,8,2", B9600, true},
                                         {" 38400 , N , 8 , 1 ", B38400, false},
                                         {"4800,n,8,1", B4800, false}}) {
        EXPECT_NO_THROW(p.port.setSettings(text)) << text; // applied while open
        EXPECT_EQ(p.line(), std::make_pair(speed_t(speed), twoStops)) << text;
    }
    for (const char* text : {"1200,e,7,2", "1200,n,7,1", "", "4800", "4800,n,8", "4800,n,8,1,1",
                             "abc,n,8,1", "0,n,8,1", "4800,x,8,1", "4800,n,9,1", "4800,n,4,1",
                             "4800,n,8,3", "48 00,n,8,1", "4800,n,8,1.0", "9999999999,n,8,1"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(p.port.setSettings(text), PortError);
        EXPECT_EQ(p.port.lineSettings(), LineSettings::parse("4800,n,8,1"));
        EXPECT_EQ(p.line(), std::make_pair(speed_t(B4800), false));
    }
    EXPECT_EQ(LineSettings::parse("300,M,5,1.5"),
              (LineSettings{300, QSerialPort::MarkParity, QSerialPort::Data5,
                            QSerialPort::OneAndHalfStop}));
    for (auto [letter, parity] : {std::pair{"s", QSerialPort::SpaceParity},
                                  {"E", QSerialPort::EvenParity},
                                  {"o", QSerialPort::OddParity}})
        EXPECT_EQ(LineSettings::parse(std::string("600,") + letter + ",7,2").parity, parity);
}

TEST(QtSerialPort, PortNumberLimitsAndNoChangeWhileOpen) {
    const std::pair<int, bool> cases[] = {{-1, false}, {0, false},   {1, true},
                                          {255, true}, {256, false}, {32767, false}};
    fake::SettingsStore settings;
    QtSerialPort port(settings);
    for (const auto& [n, accepted] : cases) {
        SCOPED_TRACE(n);
        port.setCommPort(7);
        if (accepted)
            EXPECT_NO_THROW(port.setCommPort(std::int16_t(n)));
        else
            EXPECT_THROW(port.setCommPort(std::int16_t(n)), PortError);
        EXPECT_EQ(port.commPort(), accepted ? n : 7);
    }
    PtyPort p;
    p.port.setPortOpen(true);
    EXPECT_THROW(p.port.setCommPort(6), PortError);
    EXPECT_EQ(p.port.commPort(), 5);
}

TEST(QtSerialPort, PortNumbersMapThroughThePortsSection) {
    support::ConfigHome home;
    Pty pty;
    const char* byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0";
    home.write("[Ports]\nCom12=" + QFile::encodeName(pty.path()) + "\nCom7=" + byId + "\nCom8=\n");
    QtSettingsStore store;
    QtSerialPort port(store);
    EXPECT_EQ(port.deviceFor(7), byId);
    EXPECT_EQ(port.deviceFor(8), "/dev/ttyS7"); // empty: not mapped
    EXPECT_EQ(port.deviceFor(1), "/dev/ttyS0");

    port.setCommPort(12);
    port.setPortOpen(true);
    port.output("FA00028074000;");
    EXPECT_EQ(pty.readAtLeast(14, 2000), QByteArray("FA00028074000;"));
}

TEST(QtSerialPort, DeviceThatIsMissingOrInUseDoesNotOpen) {
    PtyPort first;
    first.settings.values["Veltaro/Ports/Com3"] = "/dev/veltaro-no-such-device";
    QtSerialPort second(first.settings);
    second.setCommPort(3);
    try {
        second.setPortOpen(true);
        ADD_FAILURE() << "opened a missing device";
    } catch (const PortError& e) {
        EXPECT_NE(std::string(e.what()).find("/dev/veltaro-no-such-device"), std::string::npos);
    }
    first.port.setPortOpen(true);
    second.setCommPort(5);
    EXPECT_THROW(second.setPortOpen(true), PortError);
    EXPECT_FALSE(second.portOpen());
    first.port.output("FA00014074000;"); // the first user keeps working
    EXPECT_EQ(first.pty.readAtLeast(14, 2000), QByteArray("FA00014074000;"));
}

TEST(QtSerialPort, DeviceWithoutPermissionDoesNotOpen) {
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

TEST(QtSerialPort, VanishedDeviceClosesThePortWithoutSpinning) {
    PtyPort p;
    p.port.setPortOpen(true);
    p.port.output("FA00014074000;");
    EXPECT_EQ(p.pty.readAtLeast(14, 2000).size(), 14);

    p.pty.closeMaster();
    auto before = processCpuSeconds();
    support::spin(1000);
    auto used = processCpuSeconds() - before;
    std::printf("CPU time over 1 s after the device vanished: %.3f s\n", used);
    EXPECT_LT(used, 0.15); // a spinning port burns 0.35 s or more here
    EXPECT_FALSE(p.port.portOpen());
    EXPECT_NO_THROW(p.port.output("FA00014084000;"));
}

TEST(QtSerialPort, WriteToAVanishedDeviceRaisesAndCloses) {
    PtyPort p;
    p.port.setPortOpen(true);
    p.pty.closeMaster(); // no event loop runs: the write is the first to notice
    EXPECT_THROW(p.port.output("FA00014074000;"), PortError);
    EXPECT_FALSE(p.port.portOpen());
    EXPECT_NO_THROW(p.port.output("FA00014084000;"));
}

// With the driver reporting queued bytes through the probe, a burst leaves one command waiting;
// a pty's own queue always reads empty (its bytes go straight to the master), so the driver side
// of the rule can only be driven this way.
TEST(QtSerialPort, BusyLineKeepsOnlyTheNewestCommandWaiting) {
    qint64 driverQueue = 0;
    int probeCalls = 0;
    PtyPort p([&](int) { return ++probeCalls, driverQueue; });
    p.port.setPortOpen(true);
    p.port.output(command(14000).toStdString());
    EXPECT_EQ(p.pty.readAtLeast(14, 2000), command(14000));
    EXPECT_FALSE(p.port.hasWaitingCommand());

    driverQueue = 14; // the first command is still on the wire
    for (int kHz = 14010; kHz <= 14500; kHz += 10)
        p.port.output(command(kHz).toStdString());
    EXPECT_TRUE(p.port.hasWaitingCommand());
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "sent while the line was busy";

    driverQueue = 0;
    EXPECT_EQ(p.pty.readAtLeast(14, 2000), command(14500));
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "more than one command was waiting";
    EXPECT_FALSE(p.port.hasWaitingCommand());

    const int callsWhenIdle = probeCalls;
    support::spin(200);
    EXPECT_EQ(probeCalls, callsWhenIdle) << "the idle line is polled";

    // Closing sends the waiting command first.
    driverQueue = 14;
    p.port.output(command(7000).toStdString());
    p.port.output(command(7074).toStdString());
    p.port.setPortOpen(false);
    EXPECT_EQ(p.pty.readAtLeast(15, 500), command(7074));
}

// The real pty: once the kernel buffer is full, QSerialPort holds the rest, and the backlog rule
// must keep every further command but the newest out of it.
TEST(QtSerialPort, BurstFasterThanTheLineSendsTheFirstAndTheNewestOnly) {
    // A pty reports no queue (TIOCOUTQ stays 0), so only the wire time of what was written can
    // tell that the line is still sending: 14 bytes take 30 ms at 4800 baud.
    PtyPort p;
    p.port.setPortOpen(true);
    for (int i = 0; i <= 50; ++i)
        p.port.output(command(i).toStdString());
    EXPECT_TRUE(p.port.hasWaitingCommand());

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
