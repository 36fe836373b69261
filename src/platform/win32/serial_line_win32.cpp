#include "platform/win32/serial_line_win32.h"

#include "platform/errors.h"

#include <windows.h>

namespace veltaro::win32 {

namespace {

std::string lastErrorText(const std::string& what) {
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

} // namespace

Win32SerialLine::~Win32SerialLine() {
    close();
}

std::string Win32SerialLine::devicePath(const std::string& port) {
    const std::string digits = port.size() > 3 ? port.substr(3) : std::string();
    const bool named = port.size() > 3 && (port[0] | 0x20) == 'c' && (port[1] | 0x20) == 'o' &&
                       (port[2] | 0x20) == 'm';
    if (!named || digits.size() > 3 || digits[0] == '0' ||
        digits.find_first_not_of("0123456789") != std::string::npos || std::stoi(digits) > 255)
        throw PortError("Invalid port name " + port);
    return "\\\\.\\COM" + digits;
}

void Win32SerialLine::open(const std::string& port) {
    close();
    const std::string path = devicePath(port);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw PortError(lastErrorText(port + " cannot be opened"));
    handle_ = h;
    try {
        configure();
    } catch (...) {
        close();
        throw;
    }
}

void Win32SerialLine::configure() {
    SetupComm(handle_, 1024, 512);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb))
        throw PortError(lastErrorText("GetCommState failed"));
    dcb.BaudRate = 4800;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb))
        throw PortError(lastErrorText("SetCommState failed"));
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD; // reads (never made) return at once
    t.WriteTotalTimeoutMultiplier = 20;
    t.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (!SetCommTimeouts(handle_, &t))
        throw PortError(lastErrorText("SetCommTimeouts failed"));
}

void Win32SerialLine::send(const std::string& bytes) {
    if (!isOpen())
        throw PortError("Operation valid only when the port is open");
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        // Without abort-on-error, only a device that is no longer there refuses a write.
        const PortError failure(lastErrorText("Write to the serial port failed"));
        close();
        throw failure;
    }
    if (written != bytes.size())
        throw PortError("Write to the serial port timed out");
}

void Win32SerialLine::close() {
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

} // namespace veltaro::win32
