#include "platform/win32/serial_port_win32.h"

#include "platform/errors.h"

#include <windows.h>

#include <sstream>
#include <vector>

namespace veltaro::win32 {

namespace {

std::string lastErrorText(const char* what) {
    return std::string(what) + " (error " + std::to_string(GetLastError()) + ")";
}

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(text);
    while (std::getline(in, field, ','))
        out.push_back(field);
    if (!text.empty() && text.back() == ',')
        out.emplace_back();
    return out;
}

bool allDigits(const std::string& s) {
    if (s.empty())
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

LineSettings parseLineSettings(const std::string& text) {
    const auto f = splitFields(text);
    const PortError invalid("Invalid property value: " + text);
    if (f.size() != 4 || !allDigits(f[0]) || f[1].size() != 1 || !allDigits(f[2]))
        throw invalid;
    LineSettings s;
    if (f[0].size() > 9)
        throw invalid;
    s.baud = std::stoul(f[0]);
    if (s.baud == 0)
        throw invalid;
    const char p = static_cast<char>(f[1][0] | 0x20);
    if (p != 'n' && p != 'e' && p != 'o' && p != 'm' && p != 's')
        throw invalid;
    s.parity = p;
    s.dataBits = std::stoi(f[2]);
    if (s.dataBits < 4 || s.dataBits > 8)
        throw invalid;
    if (f[3] == "1")
        s.stopBits = 1;
    else if (f[3] == "1.5")
        s.stopBits = 1.5;
    else if (f[3] == "2")
        s.stopBits = 2;
    else
        throw invalid;
    return s;
}

Win32SerialPort::~Win32SerialPort() {
    close();
}

std::string Win32SerialPort::devicePath(std::int16_t n) {
    return "\\\\.\\COM" + std::to_string(n);
}

void Win32SerialPort::setCommPort(std::int16_t n) {
    if (portOpen())
        throw PortError("Port already open");
    if (n < 1 || n > 255)
        throw PortError("Invalid port number " + std::to_string(n));
    port_ = n;
}

void Win32SerialPort::setPortOpen(bool open) {
    if (!open) {
        close();
        return;
    }
    if (portOpen())
        throw PortError("Port already open");
    HANDLE h = CreateFileA(devicePath(port_).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw PortError(
            lastErrorText(("COM" + std::to_string(port_) + " cannot be opened").c_str()));
    handle_ = h;
    try {
        SetupComm(h, 1024, 512);
        applyLine();
        COMMTIMEOUTS t{};
        t.ReadIntervalTimeout = MAXDWORD; // reads (never made) return at once
        t.WriteTotalTimeoutMultiplier = 20;
        t.WriteTotalTimeoutConstant = WriteTimeoutMs;
        if (!SetCommTimeouts(h, &t))
            throw PortError(lastErrorText("SetCommTimeouts failed"));
    } catch (...) {
        close();
        throw;
    }
}

void Win32SerialPort::applyLine() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb))
        throw PortError(lastErrorText("GetCommState failed"));
    dcb.BaudRate = line_.baud;
    dcb.ByteSize = static_cast<BYTE>(line_.dataBits);
    switch (line_.parity) {
    case 'e':
        dcb.Parity = EVENPARITY;
        break;
    case 'o':
        dcb.Parity = ODDPARITY;
        break;
    case 'm':
        dcb.Parity = MARKPARITY;
        break;
    case 's':
        dcb.Parity = SPACEPARITY;
        break;
    default:
        dcb.Parity = NOPARITY;
        break;
    }
    dcb.fParity = line_.parity != 'n';
    dcb.StopBits = line_.stopBits == 2     ? TWOSTOPBITS
                   : line_.stopBits == 1.5 ? ONE5STOPBITS
                                           : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb))
        throw PortError(lastErrorText("SetCommState failed"));
}

void Win32SerialPort::setSettings(const std::string& settings) {
    line_ = parseLineSettings(settings);
    if (portOpen())
        applyLine();
}

void Win32SerialPort::output(const std::string& text) {
    if (!portOpen())
        throw PortError("Operation valid only when the port is open");
    DWORD written = 0;
    if (!WriteFile(handle_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr))
        throw PortError(lastErrorText("Write to the serial port failed"));
    if (written != text.size())
        throw PortError("Write to the serial port timed out");
}

void Win32SerialPort::close() {
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

} // namespace veltaro::win32
