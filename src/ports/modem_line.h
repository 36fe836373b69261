// Responsibilities: one modem-control line (RTS or DTR) of a serial adapter of its own, driven
// as a signal rather than used for data: it opens the port of a number (mapped to a device as
// the controller's serial line maps it), asserts or clears the line, tells when the line cannot
// be driven, and closes.
// Collaborations: relay/interlock drives it as the transmit-inhibit line; adapters/qt
// (QSerialPort) and adapters/win32 (EscapeCommFunction) implement it; tests use a fake.
#pragma once

namespace veltaro {

class IModemLine {
public:
    enum class Line { Rts, Dtr };

    virtual ~IModemLine() = default;

    // Opens the port of the number (1 to 255), closing any port open before. The driver may
    // have raised or dropped the lines as it opened the device: the caller sets the level it
    // wants at once. Raises PortError when the port does not exist, is in use or may not be
    // opened; the line is then closed.
    virtual void open(int number) = 0;
    // Asserts or clears the line. Raises PortError when it cannot be driven: the port is
    // closed, the device has no modem lines (a pseudo-terminal) or has gone away.
    virtual void set(Line line, bool asserted) = 0;
    // Closes the port; drivers usually drop the lines then.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace veltaro
