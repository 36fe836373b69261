// Responsibilities: the serial line to the antenna controller. It opens the port the user chose
// at the controller's fixed line settings (4800 baud, no parity, 8 data bits, 1 stop bit),
// sends commands, tells whether it is open, and closes.
// Collaborations: relay/controller_link drives it; platform/qt (QSerialPort) and platform/win32
// (\\.\COMn) implement it; tests use a fake.
#pragma once

#include <string>

namespace veltaro {

class ISerialLine {
public:
    virtual ~ISerialLine() = default;

    // Opens the named port ("COM1" to "COM255"; what a name stands for is the platform's
    // business) at 4800,n,8,1, closing any port open before. Raises PortError when the port does
    // not exist, is in use or may not be opened; the line is then closed.
    virtual void open(const std::string& port) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes at once, without waiting for an event loop. Only while open. A write
    // failure raises PortError; a device that has gone away closes the line.
    virtual void send(const std::string& bytes) = 0;
};

} // namespace veltaro
