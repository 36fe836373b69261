// The \\.\COMn serial port: line settings, a missing device, and (run by serial_pty.sh) the
// bytes that reach a pseudo-terminal linked as COM5.
#include "platform/errors.h"
#include "platform/win32/serial_port_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdlib>

using veltaro::PortError;
using veltaro::win32::parseLineSettings;
using veltaro::win32::Win32SerialPort;

TEST(LineSettings, AcceptedTexts) {
    struct Case {
        const char* text;
        unsigned long baud;
        char parity;
        int data;
        double stop;
    };
    for (const Case& c : {Case{"4800,n,8,1", 4800, 'n', 8, 1}, Case{"9600,E,7,2", 9600, 'e', 7, 2},
                          Case{"115200,o,5,1.5", 115200, 'o', 5, 1.5}}) {
        SCOPED_TRACE(c.text);
        const auto s = parseLineSettings(c.text);
        EXPECT_EQ(s.baud, c.baud);
        EXPECT_EQ(s.parity, c.parity);
        EXPECT_EQ(s.dataBits, c.data);
        EXPECT_EQ(s.stopBits, c.stop);
    }
}

TEST(LineSettings, RefusedTexts) {
    for (const char* text : {"", "4800", "4800,n,8", "4800,n,8,1,", "4800,x,8,1", "4800,n,9,1",
                             "4800,n,3,1", "4800,n,8,3", "0,n,8,1", "48OO,n,8,1", "4800,nn,8,1"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(parseLineSettings(text), PortError);
    }
}

TEST(SerialPort, PortNumberRulesAndDevicePath) {
    Win32SerialPort port;
    EXPECT_EQ(port.commPort(), 1);
    EXPECT_THROW(port.setCommPort(0), PortError);
    EXPECT_THROW(port.setCommPort(-3), PortError);
    port.setCommPort(16);
    EXPECT_EQ(port.commPort(), 16);
    EXPECT_EQ(Win32SerialPort::devicePath(12), "\\\\.\\COM12");
    EXPECT_THROW(port.output("FA"), PortError);
}

TEST(SerialPort, MissingDeviceGivesTheNotAvailableMessageAtStartUp) {
    Win32SerialPort port;
    wintest::Form form;
    form.settings.values["ComPort"] = "7";
    form.build(&port, nullptr, nullptr);
    form.main->Form_Load();
    EXPECT_FALSE(port.portOpen());
    EXPECT_EQ(port.commPort(), 7);
    EXPECT_EQ(form.dialogs.texts,
              std::vector<std::string>{"COM 7: not available. Check Com Port setting."});
    EXPECT_EQ(form.dialogs.captions, std::vector<std::string>{"Veltaro"});
}

// Run by serial_pty.sh with COM5 linked to a pseudo-terminal that records what arrives.
TEST(Pty, RelayedFrequencyLeavesAsExactlyOneCommand) {
    const char* com = std::getenv("VELTARO_PTY_COM");
    ASSERT_NE(com, nullptr) << "run through serial_pty.sh";
    Win32SerialPort port;
    wintest::Form form;
    form.settings.values["ComPort"] = com;
    form.build(&port, nullptr, nullptr);
    form.main->Form_Load();
    ASSERT_TRUE(form.dialogs.texts.empty()) << form.dialogs.texts.front();
    ASSERT_TRUE(port.portOpen());
    form.main->tracker().CommanderFreq = "14074";
    form.main->tracker().UpdateFromCommander();
    form.main->tracker().CommanderFreq = "14080"; // below the 10 kHz step: nothing is sent
    form.main->tracker().UpdateFromCommander();
    port.setPortOpen(false);
}
