// Responsibilities: the transmit-inhibit line on Windows: port n is \\.\COMn, opened
// exclusively; RTS and DTR are set with EscapeCommFunction, once a handshake that would drive
// either line has been turned off.
// Collaborations: implements IModemLine for relay/interlock; the front end owns it.
#pragma once

#include "ports/modem_line.h"

namespace veltaro::win32 {

class Win32ModemLine : public IModemLine {
public:
    Win32ModemLine() = default;
    ~Win32ModemLine() override;
    Win32ModemLine(const Win32ModemLine&) = delete;
    Win32ModemLine& operator=(const Win32ModemLine&) = delete;

    void open(int number) override;
    void set(Line line, bool asserted) override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }

private:
    void freeLines();

    void* handle_ = nullptr;
    int number_ = 0;
};

} // namespace veltaro::win32
