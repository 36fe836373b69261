// Responsibilities: the serial line to the antenna controller on Windows: "COMn" is \\.\COMn,
// opened exclusively at 4800 baud, no parity, 8 data bits, 1 stop bit, without flow control;
// transmit-only, with a write time-out so that a stuck line never hangs the window.
// Collaborations: implements ISerialLine for relay/controller_link; the front end owns it.
#pragma once

#include "platform/serial_line.h"

#include <string>

namespace veltaro::win32 {

class Win32SerialLine : public ISerialLine {
public:
    // Milliseconds a write may take before it fails.
    static constexpr unsigned long WriteTimeoutMs = 2000;

    Win32SerialLine() = default;
    ~Win32SerialLine() override;
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    void open(const std::string& port) override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }
    // A write that the device refuses (it has gone away) closes the line as well; a write that
    // times out leaves it open.
    void send(const std::string& bytes) override;

    // "COM1" to "COM255" (any letter case, no leading zero) as a device path; PortError for any
    // other name.
    static std::string devicePath(const std::string& port);

private:
    void configure();

    void* handle_ = nullptr;
};

} // namespace veltaro::win32
