// The transmit-inhibit line's adapter on a pseudo-terminal linked as a COM port (run by
// modem_pty.sh). A pty has no modem lines: on a plain one EscapeCommFunction fails and the
// adapter must say so. With the modem-lines shim preloaded into the Wine process, the modem
// requests Wine makes on the Unix side succeed and are recorded, and the script compares the
// record with the levels set here.
#include "adapters/win32/modem_line_win32.h"
#include "base/errors.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

using veltaro::PortError;
using veltaro::win32::Win32ModemLine;
using Line = veltaro::IModemLine::Line;

namespace {
int comNumber() { // VELTARO_MODEM_COM is "COM<n>"
    const char* com = std::getenv("VELTARO_MODEM_COM");
    return com ? std::atoi(com + 3) : 0;
}
} // namespace

// With the shim: RTS cleared, raised; DTR cleared, raised; RTS cleared.
TEST(ModemPty, DrivesEachLineWithTheShim) {
    ASSERT_NE(comNumber(), 0) << "run through modem_pty.sh";
    Win32ModemLine line;
    EXPECT_THROW(line.set(Line::Rts, false), PortError) << "closed";
    line.open(comNumber());
    const std::pair<Line, bool> steps[] = {{Line::Rts, false},
                                           {Line::Rts, true},
                                           {Line::Dtr, false},
                                           {Line::Dtr, true},
                                           {Line::Rts, false}};
    for (const auto& [which, asserted] : steps)
        line.set(which, asserted);
    line.close();
    EXPECT_FALSE(line.isOpen());
}

TEST(ModemPty, PlainPtyCannotBeDriven) {
    ASSERT_NE(comNumber(), 0) << "run through modem_pty.sh";
    Win32ModemLine line;
    line.open(comNumber());
    for (const Line which : {Line::Rts, Line::Dtr})
        EXPECT_THROW(line.set(which, true), PortError);
    EXPECT_THROW(line.open(7), PortError) << "COM7 has no device";
    EXPECT_FALSE(line.isOpen());
}
