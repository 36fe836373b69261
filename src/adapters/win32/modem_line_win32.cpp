#include "adapters/win32/modem_line_win32.h"

#include "adapters/win32/serial_line_win32.h"
#include "base/errors.h"

#include <windows.h>

#include <string>

namespace veltaro::win32 {

namespace {

std::string lastErrorText(const std::string& what) {
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

} // namespace

Win32ModemLine::~Win32ModemLine() {
    close();
}

void Win32ModemLine::open(int number) {
    close();
    const std::string path = Win32SerialLine::devicePath(number);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw PortError(lastErrorText("COM" + std::to_string(number) + " cannot be opened"));
    handle_ = h;
    number_ = number;
    try {
        freeLines();
    } catch (...) {
        close();
        throw;
    }
}

// EscapeCommFunction cannot move a line that a handshake drives: when one does, both lines go to
// plain control, dropped until the caller sets the level it wants. Otherwise the port's state
// stays as it is, so that opening moves no line beyond what the driver does.
void Win32ModemLine::freeLines() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb))
        throw PortError(lastErrorText("GetCommState failed"));
    if (dcb.fRtsControl != RTS_CONTROL_HANDSHAKE && dcb.fRtsControl != RTS_CONTROL_TOGGLE &&
        dcb.fDtrControl != DTR_CONTROL_HANDSHAKE)
        return;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    if (!SetCommState(handle_, &dcb))
        throw PortError(lastErrorText("SetCommState failed"));
}

void Win32ModemLine::set(Line line, bool asserted) {
    if (!isOpen())
        throw PortError("the interlock port is closed");
    const DWORD function =
        line == Line::Rts ? (asserted ? SETRTS : CLRRTS) : (asserted ? SETDTR : CLRDTR);
    if (!EscapeCommFunction(handle_, function))
        throw PortError(lastErrorText("COM" + std::to_string(number_) + ": the " +
                                      (line == Line::Rts ? "RTS" : "DTR") + " line cannot be set"));
}

void Win32ModemLine::close() {
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

} // namespace veltaro::win32
