// Responsibilities: the serial port to the antenna controller on Linux, over QSerialPort. Maps
// "Com n" to a device (the Ports/Com<n> setting, else /dev/ttyS<n-1>), parses the line settings
// text, writes each command at once, keeps at most one command waiting while the line is still
// sending, and closes itself when the device goes away.
// Collaborations: ISerialPort for relay/controller_link; reads the Ports section through
// ISettingsStore; owns a QSerialPort and a single-shot QTimer (needs a running Qt event loop for
// the waiting command and for noticing a vanished device).
#pragma once

#include "platform/serial_port.h"
#include "platform/settings_store.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSerialPort>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace veltaro::qt {

// Line settings parsed from "baud,parity,data,stop" ("4800,n,8,1").
struct LineSettings {
    qint32 baud = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Raises PortError when the text is not four valid fields.
    static LineSettings parse(const std::string& text);
    bool operator==(const LineSettings&) const = default;
};

class QtSerialPort : public veltaro::ISerialPort {
public:
    // Bytes the driver still holds for sending, given the open file descriptor. The default asks
    // the tty layer (ioctl TIOCOUTQ); tests replace it.
    using QueuedBytesProbe = std::function<qint64(int fd)>;

    explicit QtSerialPort(veltaro::ISettingsStore& settings, QueuedBytesProbe probe = {});
    ~QtSerialPort() override;
    QtSerialPort(const QtSerialPort&) = delete;
    QtSerialPort& operator=(const QtSerialPort&) = delete;

    std::int16_t commPort() const override { return port_; }
    void setCommPort(std::int16_t n) override;
    bool portOpen() const override;
    void setPortOpen(bool open) override;
    void setSettings(const std::string& settings) override;
    // While closed nothing is sent and nothing is raised.
    void output(const std::string& text) override;

    // The device that "Com n" stands for at this moment.
    std::string deviceFor(std::int16_t n) const;
    const LineSettings& lineSettings() const { return line_; }
    // The command held back while the line is still sending, if any.
    bool hasWaitingCommand() const { return waiting_.has_value(); }

private:
    qint64 queuedBytes() const;
    // Milliseconds the bytes take on the wire at the current line settings.
    qint64 wireMs(qint64 bytes) const;
    // Milliseconds until the line is free: the driver's queue, or the wire time of what was
    // written last when the driver does not tell (a pty, or an adapter that buffers on its own).
    qint64 busyMs() const;
    void write(const QByteArray& bytes);
    void apply(const LineSettings& line);
    void armDrainTimer(qint64 ms);
    void drain();
    void onError(QSerialPort::SerialPortError error);
    void closePort();

    veltaro::ISettingsStore& settings_;
    QueuedBytesProbe probe_;
    QSerialPort serial_;
    QTimer drainTimer_;
    QElapsedTimer clock_;
    qint64 lineFreeAtMs_ = 0; // on clock_, when the last bytes written have left
    std::int16_t port_ = 1;
    LineSettings line_;
    std::optional<QByteArray> waiting_;
    std::string failure_; // reason of the last device failure, for the PortError of a write
};

} // namespace veltaro::qt
