// Responsibilities: the serial line to the antenna controller on Windows: port n is \\.\COMn,
// opened exclusively at the baud rate given, no parity, 8 data bits, 1 stop bit, without flow
// control, with a write time-out so that a stuck line never hangs the window. What the device
// sends is read by a short timer on the thread that opened the line: each tick takes what the
// driver holds without waiting (reads return at once) and hands it on. Lists the COM ports
// present beyond COM16 (the DOS device names). A device that goes away is noticed by the next
// write, which fails and closes the line, or by the next read, which closes it and tells.
// Collaborations: implements ISerialLine for relay/controller_link; the front end owns it.
#pragma once

#include "ports/serial_line.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veltaro::win32 {

class Win32SerialLine : public ISerialLine {
public:
    // Milliseconds a write may take before it fails.
    static constexpr unsigned long WriteTimeoutMs = 2000;
    // Milliseconds between two looks at what the device sent.
    static constexpr unsigned ReadIntervalMs = 30;

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
    // Called when a read finds the device gone (the line is closed by then); a failing write
    // raises PortError instead.
    void setLostHandler(std::function<void()> onLost) override { onLost_ = std::move(onLost); }
    void setReceiveHandler(std::function<void(std::string_view)> onBytes) override {
        onBytes_ = std::move(onBytes);
    }

    // Port 1 to 255 as its device path (\\.\COMn); PortError for any other number.
    static std::string devicePath(int number);

    // From the window procedure: the read timer ticked.
    void readAvailable();

private:
    void configure(int baud);
    void startReading();

    void* handle_ = nullptr;
    void* window_ = nullptr; // a message-only window for the read timer, made at the first open
    std::function<void(std::string_view)> onBytes_;
    std::function<void()> onLost_;
};

} // namespace veltaro::win32
