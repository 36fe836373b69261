// The \\.\COMn serial line: port names, a missing device, and (run by serial_pty.sh) a
// pseudo-terminal as the port: the list of ports present, the bytes that arrive, the line
// settings, a device that goes away and comes back.
#include "adapters/win32/serial_line_win32.h"
#include "base/errors.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

using veltaro::PortError;
using veltaro::win32::Win32SerialLine;

TEST(SerialLine, PortNumbersAndTheirDevices) {
    for (const auto& [number, device] :
         {std::pair{1, "\\\\.\\COM1"}, {12, "\\\\.\\COM12"}, {255, "\\\\.\\COM255"}})
        EXPECT_EQ(Win32SerialLine::devicePath(number), device) << number;
    for (const int number : {0, 256, -1})
        EXPECT_THROW(Win32SerialLine::devicePath(number), PortError) << number;
}

namespace {
bool listed(Win32SerialLine& line, const std::string& com) { // as "Com n", number n
    const auto ports = line.presentPorts();
    return std::any_of(ports.begin(), ports.end(), [&](const auto& p) {
        return p.device == com && p.item == "Com " + std::to_string(p.number) &&
               p.device == "COM" + std::to_string(p.number);
    });
}
} // namespace

// Run by serial_pty.sh: VELTARO_PTY_COM is a pseudo-terminal beyond COM16; in the folder
// VELTARO_PTY_DIR the test creates "sent" and waits for "gone", which the script creates once it
// has checked the line and ended the pseudo-terminal. The script then brings a new one back
// under the same name; once a try a second opens it, the test sends and creates "resent".
TEST(Pty, CommandLeavesAsSentUntilTheDeviceGoesAwayAndAgainOnceItIsBack) {
    const char* com = std::getenv("VELTARO_PTY_COM");
    const char* dir = std::getenv("VELTARO_PTY_DIR");
    ASSERT_TRUE(com && dir) << "run through serial_pty.sh";
    const int number = std::atoi(com + 3); // "COM<n>"
    Win32SerialLine line;
    EXPECT_TRUE(listed(line, com));
    line.open(number, 4800);
    line.send("FA00014074000;");
    // Opening closes the port open before, also when the new one is refused: a number that is no
    // port, or a port without a device. A closed line refuses to send.
    for (const int refused : {0, 7}) {
        line.open(number, 4800);
        EXPECT_THROW(line.open(refused, 4800), PortError) << refused;
        EXPECT_FALSE(line.isOpen()) << refused;
        EXPECT_THROW(line.send("FA00007074000;"), PortError) << refused;
    }
    line.open(number, 4800);
    CloseHandle(CreateFileA((std::string(dir) + "\\sent").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    const std::string gone = std::string(dir) + "\\gone";
    ASSERT_TRUE(wintest::pumpUntil(
        [&] { return GetFileAttributesA(gone.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000));
    EXPECT_THROW(line.send("FA00007074000;"), PortError);
    EXPECT_FALSE(line.isOpen());
    EXPECT_FALSE(listed(line, com));

    bool opened = false;
    for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
        try {
            line.open(number, 4800);
            opened = true;
        } catch (const PortError&) {
            Sleep(1000);
        }
    }
    ASSERT_TRUE(opened);
    EXPECT_TRUE(listed(line, com));
    line.send("FA00021074000;");
    CloseHandle(CreateFileA((std::string(dir) + "\\resent").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
}

// Run by controller_pty.sh: VELTARO_PTY_COM is the controller simulator's pseudo-terminal, its
// elements at 7.243 MHz (bytes 0B 0D 4C). In VELTARO_PTY_DIR the test creates "received" once
// the reply is in, and waits for "gone", which the script creates once it has checked the line
// and ended the simulator; the next read must then find the device lost.
TEST(PtyController, AtItsBaudRateAStatusRequestBringsTheWholeReplyThenTheLoss) {
    const char* com = std::getenv("VELTARO_PTY_COM");
    const char* dir = std::getenv("VELTARO_PTY_DIR");
    ASSERT_TRUE(com && dir) << "run through controller_pty.sh";
    Win32SerialLine line;
    std::string got;
    int lost = 0;
    line.setReceiveHandler([&](std::string_view bytes) { got += bytes; });
    line.setLostHandler([&] { ++lost; });
    line.open(std::atoi(com + 3), 9600);
    line.send("?A\r");
    wintest::pumpUntil([&] { return got.size() >= 11; }, 5000);
    wintest::pumpUntil([] { return false; }, 200); // nothing more comes
    EXPECT_EQ(got, std::string("@A\0\x0B\x0D\x4C\0\0S1\r", 11));
    CloseHandle(CreateFileA((std::string(dir) + "\\received").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, 0, nullptr));
    const std::string gone = std::string(dir) + "\\gone";
    ASSERT_TRUE(wintest::pumpUntil(
        [&] { return GetFileAttributesA(gone.c_str()) != INVALID_FILE_ATTRIBUTES; }, 20000));
    EXPECT_TRUE(wintest::pumpUntil([&] { return lost > 0; }, 5000));
    wintest::pumpUntil([] { return false; }, 200);
    EXPECT_EQ(lost, 1);
    EXPECT_FALSE(line.isOpen());
}
