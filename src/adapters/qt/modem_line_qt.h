// Responsibilities: the transmit-inhibit line on Linux. Port n is the device the serial line
// maps it to (the Ports/Com<n> setting, else /dev/ttyS<n-1>), opened through QSerialPort for
// writing only, so that nothing it might send piles up; RTS and DTR are set through the tty
// layer (ioctl TIOCMBIS and TIOCMBIC), which refuses a device without modem lines (a
// pseudo-terminal) or one that has gone away.
// Collaborations: IModemLine for relay/interlock; reads the Ports section through
// ISettingsStore (portDevice of the serial line); owns a QSerialPort.
#pragma once

#include "ports/modem_line.h"
#include "ports/settings_store.h"

#include <QSerialPort>

#include <string>

namespace veltaro::qt {

class QtModemLine : public veltaro::IModemLine {
public:
    explicit QtModemLine(veltaro::ISettingsStore& settings);
    ~QtModemLine() override;
    QtModemLine(const QtModemLine&) = delete;
    QtModemLine& operator=(const QtModemLine&) = delete;

    void open(int number) override;
    void set(Line line, bool asserted) override;
    void close() override;
    bool isOpen() const override;

private:
    veltaro::ISettingsStore& settings_;
    QSerialPort port_;
    std::string device_; // as the Ports section names it, for messages
};

} // namespace veltaro::qt
