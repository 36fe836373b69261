// Responsibilities: the serial port to the antenna controller on Windows: port n is \\.\COMn,
// opened exclusively, line settings from a "baud,parity,data,stop" text, transmit-only with a
// write time-out so a stuck line never hangs the window.
// Collaborations: implements ISerialPort for relay/controller_link; the front end owns it.
#pragma once

#include "platform/serial_port.h"

#include <cstdint>
#include <string>

namespace veltaro::win32 {

struct LineSettings {
    unsigned long baud = 9600;
    char parity = 'n';
    int dataBits = 8;
    double stopBits = 1;
};

// Parses "4800,n,8,1"; raises PortError for anything else.
LineSettings parseLineSettings(const std::string& text);

class Win32SerialPort : public ISerialPort {
public:
    // Milliseconds a write may take before it fails.
    static constexpr unsigned long WriteTimeoutMs = 2000;

    Win32SerialPort() = default;
    ~Win32SerialPort() override;
    Win32SerialPort(const Win32SerialPort&) = delete;
    Win32SerialPort& operator=(const Win32SerialPort&) = delete;

    std::int16_t commPort() const override { return port_; }
    void setCommPort(std::int16_t n) override;
    bool portOpen() const override { return handle_ != nullptr; }
    void setPortOpen(bool open) override;
    void setSettings(const std::string& settings) override;
    void output(const std::string& text) override;

    static std::string devicePath(std::int16_t n);

private:
    void applyLine();
    void close();

    std::int16_t port_ = 1;
    LineSettings line_;
    void* handle_ = nullptr;
};

} // namespace veltaro::win32
