// Responsibilities: the serial line to the antenna controller. It opens the port the user chose
// at the baud rate of the controller's protocol (no parity, 8 data bits, 1 stop bit), sends
// commands, hands on what the controller answers, tells whether it is open, closes, lists the
// ports present beyond the fixed "Com 1" to "Com 16", remembers which device a port number
// stands for, and tells when the open device has gone away.
// Collaborations: relay/controller_link drives it; adapters/qt (QSerialPort) and adapters/win32
// (\\.\COMn) implement it; tests use a fake.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

// A serial device present now, as the port list offers it.
struct PresentPort {
    std::string item;   // the list's text
    int number = 0;     // the port number that stands for it, 0 while it has none yet
    std::string device; // the stable name the platform opens it by
};

class ISerialLine {
public:
    virtual ~ISerialLine() = default;

    // Opens the port of the number (1 to 255; what device a number stands for is the
    // platform's business) at the baud rate (the FA path: 4800), no parity, 8 data bits, 1 stop
    // bit, without flow control, closing any port open before. Raises PortError when the port
    // does not exist, is in use or may not be opened; the line is then closed.
    virtual void open(int number, int baud) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Sends the bytes at once, without waiting for an event loop. Only while open. A write
    // failure raises PortError; a device that has gone away closes the line.
    virtual void send(const std::string& bytes) = 0;

    // The devices present now that ports 1 to 16 do not already stand for by default.
    virtual std::vector<PresentPort> presentPorts() = 0;
    // The devices that port numbers have been given (number -> device); empty where a number
    // is its own device.
    virtual std::map<int, std::string> rememberedPorts() = 0;
    // From now on the number opens the device; does nothing where a number is its own device.
    virtual void remember(int number, const std::string& device) = 0;
    // The bytes the device sends, as they come, from the event loop, while the line is open;
    // without a handler they are read and dropped, so nothing piles up. An empty function stops
    // the calls.
    virtual void setReceiveHandler(std::function<void(std::string_view bytes)> onBytes) = 0;
    // Called from the event loop when the open device went away and the line closed itself;
    // never on close(). A write that finds the device gone raises PortError and leaves the line
    // closed, which tells the same (the only way on Windows). An empty function stops the calls.
    virtual void setLostHandler(std::function<void()> onLost) = 0;
};

} // namespace veltaro
