// Responsibilities: the serial port that carries frequency commands to the antenna controller,
// with the properties the program uses: CommPort, PortOpen, Settings, Output.
// Collaborations: driven by relay/controller_link; implemented by platform/qt (QSerialPort),
// platform/win32 (\\.\COMn) and by test fakes.
#pragma once

#include <cstdint>
#include <string>

namespace veltaro {

class ISerialPort {
public:
    virtual ~ISerialPort() = default;

    // Port number n, the system's serial port n. Only while closed; a number the port layer
    // refuses raises PortError.
    virtual std::int16_t commPort() const = 0;
    virtual void setCommPort(std::int16_t n) = 0;

    virtual bool portOpen() const = 0;
    // True opens (PortError when the device is missing, in use or not permitted); false closes.
    virtual void setPortOpen(bool open) = 0;

    // Line settings "baud,parity,data,stop", e.g. "4800,n,8,1"; allowed open or closed.
    virtual void setSettings(const std::string& settings) = 0;

    // Transmits the characters of the text, one byte each, without waiting for the event loop.
    // Only while open; a write failure raises PortError.
    virtual void output(const std::string& text) = 0;
};

} // namespace veltaro
