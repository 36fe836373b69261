// Responsibilities: the serial line to the antenna controller on Windows: port n is \\.\COMn,
// opened exclusively at 4800 baud, no parity, 8 data bits, 1 stop bit, without flow control;
// transmit-only, with a write time-out so that a stuck line never hangs the window. Lists the
// COM ports present beyond COM16 (the DOS device names). A device that goes away is noticed by
// the next write, which fails and closes the line.
// Collaborations: implements ISerialLine for relay/controller_link; the front end owns it.
#pragma once

#include "ports/serial_line.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace veltaro::win32 {

class Win32SerialLine : public ISerialLine {
public:
    // Milliseconds a write may take before it fails.
    static constexpr unsigned long WriteTimeoutMs = 2000;

    Win32SerialLine() = default;
    ~Win32SerialLine() override;
    Win32SerialLine(const Win32SerialLine&) = delete;
    Win32SerialLine& operator=(const Win32SerialLine&) = delete;

    void open(int number, int baud) override;
    void close() override;
    bool isOpen() const override { return handle_ != nullptr; }
    // A write that the device refuses (it has gone away) closes the line as well; a write that
    // times out leaves it open.
    void send(const std::string& bytes) override;
    // "Com 17" to "Com 255" for each COMn that the system has a device for.
    std::vector<PresentPort> presentPorts() override;
    // A number is its own port here: nothing to remember.
    std::map<int, std::string> rememberedPorts() override { return {}; }
    void remember(int, const std::string&) override {}
    // Never called: the failing write tells.
    void setLostHandler(std::function<void()>) override {}
    // Not read yet: what the controller sends is left to the driver.
    void setReceiveHandler(std::function<void(std::string_view)>) override {}

    // Port 1 to 255 as its device path (\\.\COMn); PortError for any other number.
    static std::string devicePath(int number);

private:
    void configure(int baud);

    void* handle_ = nullptr;
};

} // namespace veltaro::win32
