#include "adapters/qt/modem_line_qt.h"

#include "adapters/qt/serial_line_qt.h"
#include "base/errors.h"

#include <filesystem>

namespace veltaro::qt {

QtModemLine::QtModemLine(veltaro::ISettingsStore& settings) : settings_(settings) {
    port_.setFlowControl(QSerialPort::NoFlowControl);
}

QtModemLine::~QtModemLine() {
    close();
}

void QtModemLine::open(int number) {
    close();
    const auto device = portDevice(settings_, number);
    if (!device)
        throw veltaro::PortError("there is no port " + std::to_string(number));
    // A device that is not there fails at once, before QSerialPort locks its name.
    if (std::error_code ec; !std::filesystem::exists(*device, ec))
        throw veltaro::PortError(*device + ": No such file or directory");
    port_.setPortName(QString::fromStdString(*device));
    port_.clearError();
    if (!port_.open(QIODevice::WriteOnly)) {
        const auto reason = port_.errorString().toStdString();
        port_.clearError();
        throw veltaro::PortError(*device + ": " + reason);
    }
    device_ = *device;
}

void QtModemLine::set(Line line, bool asserted) {
    if (!port_.isOpen())
        throw veltaro::PortError("the interlock port is closed");
    port_.clearError();
    const bool done =
        line == Line::Rts ? port_.setRequestToSend(asserted) : port_.setDataTerminalReady(asserted);
    if (!done) {
        const auto reason = port_.errorString().toStdString();
        port_.clearError();
        throw veltaro::PortError(device_ + ": " + reason);
    }
}

void QtModemLine::close() {
    if (port_.isOpen())
        port_.close();
}

bool QtModemLine::isOpen() const {
    return port_.isOpen();
}

} // namespace veltaro::qt
