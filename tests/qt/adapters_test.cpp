// The Linux adapters against real parts: the serial line on pseudo-terminals, PEGASUS.OUT in a
// temporary folder, the settings in a real file in a temporary XDG_CONFIG_HOME. The cases about
// permissions run again as the user nobody.
#include "test_support.h"

#include "adapters/qt/file_system_qt.h"
#include "adapters/qt/serial_line_qt.h"
#include "adapters/qt/settings_store_qt.h"
#include "base/errors.h"
#include "core/fakes.h"

#include <atomic>
#include <thread>

namespace veltaro::qt::test {
namespace {

using support::ConfigHome;
using support::Pty;
using support::readFile;

QByteArray command(int kHz) {
    return "FA" + QByteArray::number(kHz).rightJustified(8, '0') + "000;";
}

// A line whose "COM5" is the device given, by default a fresh pseudo-terminal.
struct PtyLine {
    Pty pty;
    fake::SettingsStore settings;
    QtSerialLine line;
    explicit PtyLine(QtSerialLine::QueuedBytesProbe probe = {}, QString device = {})
        : line((settings.values["Veltaro/Ports/Com5"] =
                    (device.isEmpty() ? pty.path() : device).toStdString(),
                settings),
               std::move(probe)) {}
};

// Only an open line sends, exactly the command. An open port is held exclusively: opening another
// releases it, and a failed open leaves the line closed and the port's holder undisturbed.
TEST(QtSerialLine, SendsOnlyWhileOpenAndHoldsItsPortExclusively) {
    Pty five, six;
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com5"] = five.path().toStdString();
    settings.values["Veltaro/Ports/Com6"] = six.path().toStdString();
    QtSerialLine line(settings), other(settings);
    EXPECT_THROW(line.send("FA00021074000;"), PortError);
    line.open(5, 4800);
    line.send("FA00014074000;");
    // No event loop runs here: the bytes must already be on their way.
    QByteArray got;
    for (int i = 0; i < 200 && got.size() < 14; ++i, ::usleep(1000))
        got += five.readNow();
    EXPECT_EQ(got, "FA00014074000;");

    EXPECT_NO_THROW(line.open(5, 4800)) << "the same port again";
    line.open(6, 4800);
    EXPECT_NO_THROW(other.open(5, 4800)) << "COM5 was not released";
    line.send("FA00007074000;");
    EXPECT_EQ(six.readAtLeast(14, 2000), "FA00007074000;");
    EXPECT_THROW(line.open(5, 4800), PortError); // in use
    EXPECT_FALSE(line.isOpen());
    EXPECT_THROW(line.send("FA00021074000;"), PortError);
    EXPECT_NO_THROW(other.open(6, 4800)) << "COM6 is still held after the failed open";
    other.send("FA00003573000;");
    EXPECT_EQ(six.readAtLeast(15, 1000), "FA00003573000;") << "more than the one command";
    EXPECT_EQ(five.readAtLeast(1, 100), "");
}

// The line opens at the baud rate given, 8N1 without flow control whatever the tty had before (a
// pty keeps these settings though it ignores them), and what the device sends reaches the handler
// as it comes, every byte value included.
TEST(QtSerialLine, OpensAtTheBaudGivenAs8N1AndHandsOnWhatTheDeviceSends) {
    PtyLine p;
    termios t{};
    ::tcgetattr(p.pty.slave(), &t);
    cfsetospeed(&t, B9600); // as another program left it
    t.c_cflag = (t.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    t.c_iflag |= IXON | IXOFF;
    ::tcsetattr(p.pty.slave(), TCSANOW, &t);
    QByteArray got;
    p.line.setReceiveHandler(
        [&](std::string_view bytes) { got.append(bytes.data(), bytes.size()); });
    p.line.open(5, 19200);
    ::tcgetattr(p.pty.slave(), &t);
    EXPECT_EQ(cfgetospeed(&t), speed_t(B19200));
    EXPECT_EQ(cfgetispeed(&t), speed_t(B19200));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), tcflag_t(CS8));
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);

    const QByteArray status("\x40\x41\x00\x0d\xff\x00\x00\x30\x31\x32\x0d", 11);
    p.pty.writeNow(status);
    EXPECT_TRUE(support::waitUntil([&] { return got.size() >= status.size(); }, 2000));
    EXPECT_EQ(got, status);
}

TEST(QtSerialLine, PortNamesMapThroughThePortsSection) {
    ConfigHome home;
    const char* byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0";
    home.write(QByteArray("[Ports]\nCom7=") + byId + "\nCom8=\nCom3=/dev/veltaro-none\n");
    QtSettingsStore store;
    QtSerialLine line(store);
    QStringList devices; // COM8 is mapped to nothing; "-" is no port at all
    for (int number : {7, 8, 1, 255, 2, 0, 256, -1})
        devices << QString::fromStdString(line.deviceFor(number).value_or("-"));
    EXPECT_EQ(devices.join(' '),
              QString(byId) + " /dev/ttyS7 /dev/ttyS0 /dev/ttyS254 /dev/ttyS1 - - -");
    EXPECT_THROW(line.open(0, 4800), PortError);
    try {
        line.open(3, 4800);
        ADD_FAILURE() << "opened a missing device";
    } catch (const PortError& e) {
        EXPECT_TRUE(std::string(e.what()).starts_with("/dev/veltaro-none: ")) << e.what();
    }
}

TEST(QtSerialLine, DeviceWithoutPermissionDoesNotOpen) {
    if (const QString device = support::nobodyArgument(); !device.isEmpty()) {
        EXPECT_THROW(PtyLine({}, device).line.open(5, 4800), PortError);
        return;
    }
    SKIP_UNLESS_ROOT();
    Pty pty;
    ASSERT_EQ(::chown(QFile::encodeName(pty.path()), 0, 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(pty.path()), 0600), 0);
    EXPECT_TRUE(support::rerunAsNobody(pty.path()));
}

// A write to a device that went away raises and closes the line. (Noticed by the event loop, the
// same closes it without spinning:
// QtSerialLinePorts.DeviceBackUnderItsNameIsReopenedAndGetsTheLastCommand.)
TEST(QtSerialLine, WriteToAVanishedDeviceRaisesAndClosesTheLine) {
    PtyLine p;
    p.line.open(5, 4800);
    p.pty.closeMaster();
    EXPECT_THROW(p.line.send("FA00007074000;"), PortError);
    EXPECT_FALSE(p.line.isOpen());
}

// A line still sending keeps one command waiting, the newest. Whether it is still sending, the
// driver's queue tells (here through the probe) or, where the driver tells nothing, as a pty's
// queue always reads empty, the wire time of what was written (14 bytes take 30 ms at 4800 baud).
TEST(QtSerialLine, BusyLineKeepsOnlyTheNewestCommandWaiting) {
    qint64 driverQueue = 0;
    int probeCalls = 0;
    PtyLine p([&](int) { return ++probeCalls, driverQueue; });
    p.line.open(5, 4800);
    for (int i = 0; i <= 50; ++i)
        p.line.send(command(i).toStdString());
    EXPECT_TRUE(p.line.hasWaitingCommand());
    EXPECT_EQ(p.pty.readAtLeast(29, 1000), command(0) + command(50)); // and nothing more

    driverQueue = 14; // the driver still has the last command to send
    for (int kHz = 14010; kHz <= 14500; kHz += 10)
        p.line.send(command(kHz).toStdString());
    EXPECT_TRUE(p.line.hasWaitingCommand());
    EXPECT_EQ(p.pty.readAtLeast(1, 100), "") << "sent while the line was busy";
    driverQueue = 0;
    EXPECT_EQ(p.pty.readAtLeast(15, 2000), command(14500)) << "more than one was waiting";
    EXPECT_FALSE(p.line.hasWaitingCommand());

    const int callsWhenIdle = probeCalls;
    support::spin(200);
    EXPECT_EQ(probeCalls, callsWhenIdle) << "the idle line is polled";

    driverQueue = 14; // closing sends the waiting command first
    p.line.send(command(7000).toStdString());
    p.line.send(command(7074).toStdString());
    p.line.close();
    EXPECT_EQ(p.pty.readAtLeast(15, 500), command(7074));
}

// Each write replaces the whole file at once: a reader sees the old bytes or the new ones, the
// file ends with exactly the last bytes written, and no temporary file is left behind.
TEST(QtFileSystem, WritesReplaceTheWholeFileAtOnce) {
    QTemporaryDir dir;
    const QString out = dir.path() + "/PEGASUS.OUT";
    const auto write = [&](const char* text) { QtFileSystem().writeFile(out.toStdString(), text); };
    const QByteArray a("14.074000\r\n"), b("144.17400\r\n");
    write(a);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        for (; !done; ++reads)
            if (auto seen = readFile(out); seen != a && seen != b)
                ++torn;
    });
    for (int i = 0; i < 600; ++i)
        write(i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
    write("7.074\r\n");
    EXPECT_EQ(readFile(out), "7.074\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"PEGASUS.OUT"});
}

// FileError names the file, and the old content stays: a missing folder, a folder in the way,
// and (as nobody) a folder closed to the writer though the file itself is writable.
TEST(QtFileSystem, UnwritablePlacesRaiseFileErrorNamingTheFile) {
    const auto fails = [](const QString& path) {
        try {
            QtFileSystem().writeFile(path.toStdString(), "07.074000\r\n");
            ADD_FAILURE() << "wrote " << path.toStdString();
        } catch (const FileError& e) {
            EXPECT_TRUE(
                std::string(e.what()).starts_with(QFileInfo(path).fileName().toStdString() + ": "))
                << e.what();
        }
    };
    if (const QString path = support::nobodyArgument(); !path.isEmpty())
        return fails(path);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("PEGASUS.OUT.d");
    fails(dir.path() + "/no-such-folder/PEGASUS.OUT");
    fails(dir.path() + "/PEGASUS.OUT.d");

    SKIP_UNLESS_ROOT();
    const QString out = dir.path() + "/PEGASUS.OUT";
    QtFileSystem().writeFile(out.toStdString(), "14.074000\r\n");
    support::giveToNobody(dir.path());
    support::giveToNobody(out);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()), 0555), 0);
    EXPECT_TRUE(support::rerunAsNobody(out));
    EXPECT_EQ(readFile(out), "14.074000\r\n");
}

// What a fresh reader finds on disk for these StartUp keys. Within one process QSettings answers
// from its cache, so the file is read from a copy in another settings folder.
std::vector<std::string> onDisk(const ConfigHome& home, const QStringList& keys) {
    ConfigHome fresh;
    fresh.write(home.contents());
    std::vector<std::string> values;
    for (const QString& key : keys)
        values.push_back(QtSettingsStore().readSetting("Veltaro", "StartUp", key.toStdString()));
    return values;
}

// Values come back from disk as written, into no file as into a hand-edited or damaged one,
// whose readable keys stay.
TEST(QtSettingsStore, TextComesBackFromDiskAsWrittenAndReadableKeysStay) {
    const std::vector<std::string> values = {
        "-60",        "1200",    "0",          "",     "007",   "1.5",         "4800,n,8,1",
        "  padded  ", "a=b;c#d", "@Invalid()", "true", "Grüße", "/dev/ttyUSB0"};
    const QByteArray junk("\x00\x01\xff\xfe\x80[\x02=\x03\n\x7f\xc3\x28\n", 15);
    const std::pair<const char*, QByteArray> files[] = {
        {"no file", ""},
        {"spaces around =", "[StartUp]\nComPort = 7\nCheckOnTop=1\n"},
        {"junk around a section", junk + "\n[StartUp]\nComPort=7\nCheckOnTop=1\n" + junk},
        {"junk inside a section", "[StartUp]\nComPort=7\n" + junk + "\nCheckOnTop=1\n"},
        {"truncated mid-line", "[StartUp]\nComPort=7\nCheckOnTop=1\nCheckTR"},
        {"truncated header", "[StartUp]\nComPort=7\nCheckOnTop=1\n[Sta"}};
    for (const auto& [name, file] : files) {
        SCOPED_TRACE(name);
        ConfigHome home;
        if (!file.isEmpty())
            home.write(file);
        const std::string comPort = file.isEmpty() ? "" : "7", onTop = file.isEmpty() ? "" : "1";
        QtSettingsStore store;
        EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "ComPort"), comPort);
        QStringList keys = {"ComPort", "CheckOnTop"};
        std::vector<std::string> expected = {comPort, onTop};
        for (std::size_t i = 0; i < values.size(); ++i) {
            keys << QString("Key%1").arg(i);
            expected.push_back(values[i]);
            store.writeSetting("Veltaro", "StartUp", keys.back().toStdString(), "overwritten");
            store.writeSetting("Veltaro", "StartUp", keys.back().toStdString(), values[i]);
        }
        EXPECT_EQ(onDisk(home, keys), expected) << home.contents().toStdString();
        // Other keys, sections and programs read as empty, and no file is made for them.
        EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "CheckTRX"), "");
        EXPECT_EQ(store.readSetting("Veltaro", "Ports", "ComPort"), "");
        EXPECT_EQ(store.readSetting("Other", "StartUp", "ComPort"), "");
        EXPECT_FALSE(QFile::exists(QtSettingsStore::filePath("Other")));
    }
}

// As nobody: the user's own read-only file, and a settings folder that is not the user's.
TEST(QtSettingsStore, UnwritableFileOrFolderRaisesAndLeavesTheFileAlone) {
    if (!support::nobodyArgument().isEmpty()) {
        EXPECT_THROW(QtSettingsStore().writeSetting("Veltaro", "StartUp", "ComPort", "9"), Error);
        return;
    }
    SKIP_UNLESS_ROOT();
    for (bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "read-only file" : "folder of another user");
        ConfigHome home;
        ASSERT_EQ(::chmod(QFile::encodeName(home.path()), 0755), 0);
        if (fileExists) {
            home.write("[StartUp]\nComPort=7\n");
            for (auto path : {home.path(), home.path() + "/Veltaro", home.settingsFile()})
                support::giveToNobody(path);
            ASSERT_EQ(::chmod(QFile::encodeName(home.settingsFile()), 0444), 0);
        }
        EXPECT_TRUE(support::rerunAsNobody("write"));
        EXPECT_EQ(home.contents(), fileExists ? QByteArray("[StartUp]\nComPort=7\n") : "");
        EXPECT_EQ(QFile::exists(home.settingsFile()), fileExists);
    }
}

} // namespace
} // namespace veltaro::qt::test
