// Responsibilities: the serial line to the antenna controller on Linux, over QSerialPort. Maps
// port n to a device (the Ports/Com<n> setting, else /dev/ttyS<n-1>), opens it at the baud rate
// given (8 data bits, no parity, 1 stop bit, no flow control), writes each command at once,
// keeps at most one command waiting while the line is still sending, hands on what the device
// sends as it comes (dropped without a handler), and closes itself and tells when the device
// goes away. Lists the serial devices present by their stable names (the links of
// /dev/serial/by-id, else the device) with the adapter's description, and remembers a device as
// Ports/Com<n>.
// Collaborations: ISerialLine for relay/controller_link; reads and writes the Ports section
// through ISettingsStore; QSerialPortInfo for the devices present; owns a QSerialPort and a
// single-shot QTimer (needs a running Qt event loop for the waiting command and for noticing a
// vanished device).
#pragma once

#include "ports/serial_line.h"
#include "ports/settings_store.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veltaro::qt {

// The device that the port number stands for at this moment: the Ports/Com<n> setting, else
// /dev/ttyS<n-1>; nothing for a number other than 1 to 255.
std::optional<std::string> portDevice(veltaro::ISettingsStore& settings, int number);

class QtSerialLine : public veltaro::ISerialLine {
public:
    // Bytes the driver still holds for sending, given the open file descriptor. The default asks
    // the tty layer (ioctl TIOCOUTQ); tests replace it.
    using QueuedBytesProbe = std::function<qint64(int fd)>;

    static constexpr const char* StableNamesFolder = "/dev/serial/by-id";

    // stableNames: the folder of links that name each device for good (tests use their own).
    explicit QtSerialLine(veltaro::ISettingsStore& settings, QueuedBytesProbe probe = {},
                          std::string stableNames = StableNamesFolder);
    ~QtSerialLine() override;
    QtSerialLine(const QtSerialLine&) = delete;
    QtSerialLine& operator=(const QtSerialLine&) = delete;

    void open(int number, int baud) override;
    // Sends the command still waiting, if any, before it lets the device go.
    void close() override;
    bool isOpen() const override;
    // Raises PortError while closed.
    void send(const std::string& bytes) override;
    // The devices QSerialPortInfo finds and those the stable names' folder links to, but the
    // built-in /dev/ttyS0 to /dev/ttyS15 that "COM1" to "COM16" stand for by default.
    std::vector<veltaro::PresentPort> presentPorts() override;
    std::map<int, std::string> rememberedPorts() override;
    void remember(int number, const std::string& device) override;
    void setLostHandler(std::function<void()> onLost) override { onLost_ = std::move(onLost); }
    void setReceiveHandler(std::function<void(std::string_view)> onBytes) override {
        onReceive_ = std::move(onBytes);
    }

    // The device that the port number stands for at this moment; nothing for a number other
    // than 1 to 255.
    std::optional<std::string> deviceFor(int number) const;
    // The command held back while the line is still sending, if any.
    bool hasWaitingCommand() const { return waiting_.has_value(); }

private:
    qint64 queuedBytes() const;
    // Milliseconds until the line is free: the driver's queue, or the wire time of what was
    // written last when the driver does not tell (a pty, or an adapter that buffers on its own).
    qint64 busyMs() const;
    void write(const QByteArray& bytes);
    void armDrainTimer(qint64 ms);
    void drain();
    void onError(QSerialPort::SerialPortError error);

    veltaro::ISettingsStore& settings_;
    QueuedBytesProbe probe_;
    std::string stableNames_;
    std::function<void(std::string_view)> onReceive_;
    std::function<void()> onLost_;
    // Counts opens and closes, so that a late loss report of an earlier open is dropped.
    unsigned opening_ = 0;
    QSerialPort serial_;
    QTimer drainTimer_;
    QElapsedTimer clock_;
    qint64 lineFreeAtMs_ = 0; // on clock_, when the last bytes written have left
    std::optional<QByteArray> waiting_;
    std::string failure_; // reason of the last device failure, for the PortError of a write
};

} // namespace veltaro::qt
