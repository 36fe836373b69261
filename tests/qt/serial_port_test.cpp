// The serial adapter against a pseudo-terminal: what reaches the wire, the line settings the
// tty ends up with, the ways opening fails, a device that goes away, and the bounded backlog.
#include "support.h"

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

QByteArray command(int kHz) {
    char text[32];
    std::snprintf(text, sizeof text, "FA%08d000;", kHz);
    return text;
}

// A port mapped as "Com 5" onto a fresh pseudo-terminal.
struct PtyPort {
    Pty pty;
    MemorySettings settings;
    QtSerialPort port;
    explicit PtyPort(QtSerialPort::QueuedBytesProbe probe = {})
        : port((settings.values["Veltaro/Ports/Com5"] = pty.path(), settings), std::move(probe)) {
        port.setCommPort(5);
    }
    termios line() const {
        termios t{};
        ::tcgetattr(pty.slave(), &t);
        return t;
    }
};

TEST(QtSerialPort, StartsClosedOnPortOneAt9600N81) {
    MemorySettings settings;
    QtSerialPort port(settings);
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_FALSE(port.portOpen());
    EXPECT_EQ(port.lineSettings(), (LineSettings{9600, QSerialPort::NoParity, QSerialPort::Data8,
                                                 QSerialPort::OneStop}));
}

TEST(QtSerialPort, SendsTheCommandAtOnceAt4800N81) {
    PtyPort p;
    p.port.setSettings("4800,n,8,1");
    p.port.setPortOpen(true);
    ASSERT_TRUE(p.port.portOpen());
    p.port.output("FA00014074000;");

    // No event loop has run: the bytes must already be on their way.
    QByteArray got;
    for (int i = 0; i < 200 && got.size() < 14; ++i) {
        got += p.pty.readNow();
        ::usleep(1000);
    }
    EXPECT_EQ(got, QByteArray("FA00014074000;"));
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray()) << "nothing may follow the ';'";

    auto t = p.line();
    EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
    EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
    EXPECT_FALSE(t.c_cflag & PARENB);
    EXPECT_FALSE(t.c_cflag & CSTOPB);
}

TEST(QtSerialPort, SendsNothingWhileClosed) {
    PtyPort p;
    EXPECT_NO_THROW(p.port.output("FA00014074000;"));
    p.port.setPortOpen(true);
    p.port.setPortOpen(false);
    EXPECT_FALSE(p.port.portOpen());
    EXPECT_NO_THROW(p.port.output("FA00007074000;"));
    EXPECT_EQ(p.pty.readAtLeast(1, 100), QByteArray());
}

// A pty keeps speed and stop bits but always reports 8 data bits without parity, so other sizes
// and parities stand for settings a device refuses: PortError, and the line stays as it was.
TEST(QtSerialPort, LineSettingsReachTheTtyOrAreRefused) {
    struct Case {
        const char* text;
        bool refused;
        speed_t speed;
        bool twoStops;
    };
    const Case cases[] = {
        {"4800,n,8,1", false, B4800, false},           {"9600,n,8,2", false, B9600, true},
        {" 38400 , N , 8 , 1 ", false, B38400, false}, {"1200,e,7,2", true, B38400, false},
        {"1200,n,7,1", true, B38400, false},           {"4800,n,8,1", false, B4800, false},
    };
    PtyPort p;
    p.port.setPortOpen(true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        if (c.refused)
            EXPECT_THROW(p.port.setSettings(c.text), veltaro::PortError);
        else
            EXPECT_NO_THROW(p.port.setSettings(c.text)); // applied while open
        auto t = p.line();
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(bool(t.c_cflag & CSTOPB), c.twoStops);
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_FALSE(t.c_cflag & PARENB);
    }
    EXPECT_EQ(p.port.lineSettings(), LineSettings::parse("4800,n,8,1"));
}

TEST(QtSerialPort, LineSettingsSurviveCloseAndReopen) {
    PtyPort p;
    p.port.setSettings("4800,n,8,1"); // given while closed
    for (int round = 0; round < 2; ++round) {
        p.port.setPortOpen(true);
        auto t = p.line();
        EXPECT_EQ(cfgetospeed(&t), speed_t(B4800)) << "round " << round;
        p.port.setPortOpen(false);
        // Somebody else changes the tty between our opens.
        cfsetospeed(&t, B9600);
        cfsetispeed(&t, B9600);
        ::tcsetattr(p.pty.slave(), TCSANOW, &t);
    }
}

TEST(QtSerialPort, MalformedSettingsAreRefusedAndChangeNothing) {
    const char* bad[] = {"",
                         "4800",
                         "4800,n,8",
                         "4800,n,8,1,1",
                         "abc,n,8,1",
                         "0,n,8,1",
                         "-4800,n,8,1",
                         "4800,x,8,1",
                         "4800,,8,1",
                         "4800,nn,8,1",
                         "4800,n,9,1",
                         "4800,n,4,1",
                         "4800,n,8,3",
                         "4800,n,8,0",
                         "4800,n,8,1.0",
                         "48 00,n,8,1",
                         "9999999999,n,8,1"};
    PtyPort p;
    p.port.setSettings("4800,n,8,1");
    p.port.setPortOpen(true);
    for (const char* text : bad) {
        SCOPED_TRACE(text);
        EXPECT_THROW(p.port.setSettings(text), veltaro::PortError);
        EXPECT_EQ(p.port.lineSettings().baud, 4800);
        auto t = p.line();
        EXPECT_EQ(cfgetospeed(&t), speed_t(B4800));
    }
    // Every parity letter and the one-and-a-half stop bits are understood.
    EXPECT_EQ(LineSettings::parse("300,M,5,1.5"),
              (LineSettings{300, QSerialPort::MarkParity, QSerialPort::Data5,
                            QSerialPort::OneAndHalfStop}));
    EXPECT_EQ(LineSettings::parse("600,s,6,2").parity, QSerialPort::SpaceParity);
    EXPECT_EQ(LineSettings::parse("600,E,7,2").parity, QSerialPort::EvenParity);
    EXPECT_EQ(LineSettings::parse("600,o,7,2").parity, QSerialPort::OddParity);
}

TEST(QtSerialPort, PortNumberLimits) {
    struct Case {
        int n;
        bool accepted;
    };
    const Case cases[] = {{-1, false}, {0, false},   {1, true},     {16, true},
                          {255, true}, {256, false}, {32767, false}};
    MemorySettings settings;
    QtSerialPort port(settings);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        port.setCommPort(7);
        if (c.accepted) {
            EXPECT_NO_THROW(port.setCommPort(static_cast<std::int16_t>(c.n)));
            EXPECT_EQ(port.commPort(), c.n);
        } else {
            EXPECT_THROW(port.setCommPort(static_cast<std::int16_t>(c.n)), veltaro::PortError);
            EXPECT_EQ(port.commPort(), 7);
        }
    }
}

TEST(QtSerialPort, PortNumberIsFixedWhileOpen) {
    PtyPort p;
    p.port.setPortOpen(true);
    EXPECT_THROW(p.port.setCommPort(6), veltaro::PortError);
    EXPECT_EQ(p.port.commPort(), 5);
}

TEST(QtSerialPort, PortNumbersMapThroughThePortsSection) {
    ConfigHome home;
    Pty pty;
    home.writeSettingsFile("[Ports]\nCom12=" + QByteArray::fromStdString(pty.path()) +
                           "\nCom7=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0"
                           "\nCom8=\n");
    QtSettingsStore store;
    QtSerialPort port(store);
    EXPECT_EQ(port.deviceFor(7), "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0");
    EXPECT_EQ(port.deviceFor(8), "/dev/ttyS7"); // empty: not mapped
    EXPECT_EQ(port.deviceFor(1), "/dev/ttyS0");
    EXPECT_EQ(port.deviceFor(16), "/dev/ttyS15");

    port.setCommPort(12);
    port.setSettings("4800,n,8,1");
    port.setPortOpen(true);
    port.output("FA00028074000;");
    EXPECT_EQ(pty.readAtLeast(14, 2000), QByteArray("FA00028074000;"));
}

TEST(QtSerialPort, MissingDeviceDoesNotOpen) {
    MemorySettings settings;
    settings.values["Veltaro/Ports/Com3"] = "/dev/veltaro-no-such-device";
    QtSerialPort port(settings);
    port.setCommPort(3);
    try {
        port.setPortOpen(true);
        ADD_FAILURE() << "opened a missing device";
    } catch (const veltaro::PortError& e) {
        EXPECT_NE(std::string(e.what()).find("/dev/veltaro-no-such-device"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(port.portOpen());
}

TEST(QtSerialPort, DeviceInUseByAnotherPortDoesNotOpen) {
    PtyPort first;
    first.port.setPortOpen(true);
    QtSerialPort second(first.settings);
    second.setCommPort(5);
    EXPECT_THROW(second.setPortOpen(true), veltaro::PortError);
    EXPECT_FALSE(second.portOpen());
    // The first user keeps working.
    first.port.output("FA00014074000;");
    EXPECT_EQ(first.pty.readAtLeast(14, 2000), QByteArray("FA00014074000;"));
}

TEST(QtSerialPort, DeviceWithoutPermissionDoesNotOpen) {
    REQUIRE_ROOT();
    Pty pty;
    ASSERT_EQ(::chown(pty.path().c_str(), 0, 0), 0);
    ASSERT_EQ(::chmod(pty.path().c_str(), 0600), 0);
    auto child = runChild("open", {QString::fromStdString(pty.path())}, true);
    EXPECT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, ChildOk) << child.output.toStdString();
}

double processCpuSeconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

TEST(QtSerialPort, VanishedDeviceClosesThePortWithoutSpinning) {
    PtyPort p;
    p.port.setSettings("4800,n,8,1");
    p.port.setPortOpen(true);
    p.port.output("FA00014074000;");
    EXPECT_EQ(p.pty.readAtLeast(14, 2000).size(), 14);

    p.pty.closeMaster();
    auto before = processCpuSeconds();
    runEventLoop(1000);
    auto used = processCpuSeconds() - before;
    std::printf("CPU time over 1 s after the device vanished: %.3f s\n", used);
    EXPECT_LT(used, 0.15); // a spinning port burns 0.35 s or more here
    EXPECT_FALSE(p.port.portOpen());
    EXPECT_NO_THROW(p.port.output("FA00014084000;"));
    EXPECT_FALSE(p.port.portOpen());
}

TEST(QtSerialPort, WriteToAVanishedDeviceRaisesAndCloses) {
    PtyPort p;
    p.port.setPortOpen(true);
    p.pty.closeMaster(); // no event loop runs: the write is the first to notice
    EXPECT_THROW(p.port.output("FA00014074000;"), veltaro::PortError);
    EXPECT_FALSE(p.port.portOpen());
    EXPECT_NO_THROW(p.port.output("FA00014084000;"));
}

// With the driver reporting queued bytes through the probe, a burst leaves one command waiting;
// a pty's own queue always reads empty (its bytes go straight to the master), so the driver side
// of the rule can only be driven this way.
TEST(QtSerialPort, BusyLineKeepsOnlyTheNewestCommandWaiting) {
    qint64 driverQueue = 0;
    int probeCalls = 0;
    PtyPort p([&](int) {
        ++probeCalls;
        return driverQueue;
    });
    p.port.setSettings("4800,n,8,1");
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

    // Idle: nobody polls the line.
    int callsWhenIdle = probeCalls;
    runEventLoop(200);
    EXPECT_EQ(probeCalls, callsWhenIdle);
}

TEST(QtSerialPort, ClosingSendsTheWaitingCommandFirst) {
    qint64 driverQueue = 0;
    PtyPort p([&](int) { return driverQueue; });
    p.port.setPortOpen(true);
    driverQueue = 14;
    p.port.output(command(7000).toStdString());
    p.port.output(command(7074).toStdString());
    p.port.setPortOpen(false);
    EXPECT_EQ(p.pty.readAtLeast(14, 2000), command(7074));
    EXPECT_FALSE(p.port.hasWaitingCommand());
}

// The real pty: once the kernel buffer is full, QSerialPort holds the rest, and the backlog rule
// must keep every further command but the newest out of it.
TEST(QtSerialPort, SlowReaderReceivesTheLastCommandLast) {
    PtyPort p;
    p.port.setSettings("4800,n,8,1");
    p.port.setPortOpen(true);

    int given = 0;
    while (!p.port.hasWaitingCommand() && given < 200000)
        p.port.output(command(given++).toStdString());
    ASSERT_TRUE(p.port.hasWaitingCommand()) << "the pty never filled up";
    int accepted = given - 1; // the one that went into waiting was not written
    for (int i = 0; i < 50; ++i)
        p.port.output(command(given++).toStdString());
    const int last = given - 1;

    QByteArray got;
    QDeadlineTimer deadline(20000);
    while (!got.endsWith(command(last)) && !deadline.hasExpired()) {
        got += p.pty.readNow(512); // a slow reader
        runEventLoop(1);
    }
    got += p.pty.readAtLeast(1, 100);
    ASSERT_EQ(got.size() % 14, 0);
    const int received = int(got.size() / 14);
    ASSERT_EQ(received, accepted + 1) << "commands beyond the newest were queued";
    for (int i = 0; i < accepted; ++i)
        ASSERT_EQ(got.mid(i * 14, 14), command(i)) << "command " << i;
    EXPECT_EQ(got.right(14), command(last));
    std::printf("pty took %d commands (%d bytes) before the line counted as busy\n", accepted,
                accepted * 14);
}

} // namespace
} // namespace veltaro::qt::test
