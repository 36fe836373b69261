// The \\.\COMn serial port: line settings, a missing device, and (run by serial_pty.sh) the
// bytes that reach a pseudo-terminal linked as COM5.
#include "platform/errors.h"
#include "platform/win32/serial_port_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

using veltaro::PortError;
using veltaro::win32::parseLineSettings;
using veltaro::win32::Win32SerialPort;

TEST(LineSettings, AcceptedTexts) {
    for (const auto& [text, baud, parity, data, stop] :
         {std::tuple{"4800,n,8,1", 4800ul, 'n', 8, 1.0},
          {"9600,E,7,2", 9600ul, 'e', 7, 2.0},
          {"115200,o,5,1.5", 115200ul, 'o', 5, 1.5}}) {
        const auto s = parseLineSettings(text);
        EXPECT_EQ(std::tie(s.baud, s.parity, s.dataBits, s.stopBits),
                  std::tie(baud, parity, data, stop))
            << text;
    }
}

TEST(LineSettings, RefusedTexts) {
    for (const char* text : {"", "4800,n,8", "4800,n,8,1,", "4800,x,8,1", "4800,n,9,1",
                             "4800,n,3,1", "4800,n,8,3", "0,n,8,1", "48OO,n,8,1", "4800,nn,8,1"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(parseLineSettings(text), PortError);
    }
}

TEST(SerialPort, PortNumberRulesAndDevicePath) {
    Win32SerialPort port;
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_THROW(port.setCommPort(0), PortError);
    port.setCommPort(16);
    EXPECT_EQ(port.commPort(), 16);
    EXPECT_EQ(Win32SerialPort::devicePath(12), "\\\\.\\COM12");
    EXPECT_THROW(port.output("FA"), PortError);
}

// Start-up with ComPort set; the real port is returned for a look after Form_Load.
struct StartUp {
    Win32SerialPort port;
    wintest::Form form;
    explicit StartUp(const std::string& comPort) {
        form.settings.set("ComPort", comPort);
        form.build(&port).Form_Load();
    }
};

TEST(SerialPort, MissingDeviceGivesTheNotAvailableMessageAtStartUp) {
    StartUp s("7");
    EXPECT_FALSE(s.port.portOpen());
    EXPECT_EQ(s.port.commPort(), 7);
    EXPECT_EQ(s.form.dialogs.messages,
              std::vector<std::string>{"COM 7: not available. Check Com Port setting."});
    EXPECT_EQ(s.form.dialogs.captions, std::vector<std::string>{"Veltaro"});
}

// Run by serial_pty.sh with COM5 linked to a pseudo-terminal that records what arrives.
TEST(Pty, RelayedFrequencyLeavesAsExactlyOneCommand) {
    const char* com = std::getenv("VELTARO_PTY_COM");
    ASSERT_NE(com, nullptr) << "run through serial_pty.sh";
    StartUp s(com);
    ASSERT_EQ(s.form.dialogs.messages, std::vector<std::string>{});
    ASSERT_TRUE(s.port.portOpen());
    auto& tracker = s.form.main->tracker();
    tracker.CommanderFreq = "14074";
    tracker.UpdateFromCommander();
    tracker.CommanderFreq = "14080"; // below the 10 kHz step: nothing is sent
    tracker.UpdateFromCommander();
    s.port.setPortOpen(false);
}
