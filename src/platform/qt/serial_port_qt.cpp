#include "platform/qt/serial_port_qt.h"

#include "platform/errors.h"

#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <vector>

namespace veltaro::qt {

namespace {

std::string trimmed(const std::string& text) {
    auto first =
        std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    auto last = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) {
                    return std::isspace(c);
                }).base();
    return first < last ? std::string(first, last) : std::string();
}

std::vector<std::string> fields(const std::string& text) {
    std::vector<std::string> out;
    std::string::size_type start = 0;
    for (;;) {
        auto comma = text.find(',', start);
        out.push_back(trimmed(text.substr(start, comma - start)));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

bool allDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

} // namespace

LineSettings LineSettings::parse(const std::string& text) {
    auto bad = [&text]() { return veltaro::PortError("Invalid port settings \"" + text + "\""); };
    auto f = fields(text);
    if (f.size() != 4)
        throw bad();

    LineSettings line;
    // Nine digits keep the number inside 32 bits; no serial line runs faster than that.
    if (!allDigits(f[0]) || f[0].size() > 9 || std::stol(f[0]) <= 0)
        throw bad();
    line.baud = static_cast<qint32>(std::stol(f[0]));

    if (f[1].size() != 1)
        throw bad();
    switch (std::tolower(static_cast<unsigned char>(f[1][0]))) {
    case 'n':
        line.parity = QSerialPort::NoParity;
        break;
    case 'e':
        line.parity = QSerialPort::EvenParity;
        break;
    case 'o':
        line.parity = QSerialPort::OddParity;
        break;
    case 'm':
        line.parity = QSerialPort::MarkParity;
        break;
    case 's':
        line.parity = QSerialPort::SpaceParity;
        break;
    default:
        throw bad();
    }

    if (f[2] == "5")
        line.dataBits = QSerialPort::Data5;
    else if (f[2] == "6")
        line.dataBits = QSerialPort::Data6;
    else if (f[2] == "7")
        line.dataBits = QSerialPort::Data7;
    else if (f[2] == "8")
        line.dataBits = QSerialPort::Data8;
    else
        throw bad();

    if (f[3] == "1")
        line.stopBits = QSerialPort::OneStop;
    else if (f[3] == "1.5")
        line.stopBits = QSerialPort::OneAndHalfStop;
    else if (f[3] == "2")
        line.stopBits = QSerialPort::TwoStop;
    else
        throw bad();
    return line;
}

QtSerialPort::QtSerialPort(veltaro::ISettingsStore& settings, QueuedBytesProbe probe)
    : settings_(settings), probe_(std::move(probe)) {
    drainTimer_.setSingleShot(true);
    clock_.start();
    QObject::connect(&drainTimer_, &QTimer::timeout, &drainTimer_, [this] { drain(); });
    QObject::connect(&serial_, &QSerialPort::errorOccurred, &serial_,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
    // Transmit-only: whatever the controller sends back is dropped, so nothing piles up.
    QObject::connect(&serial_, &QSerialPort::readyRead, &serial_, [this] { serial_.readAll(); });
    serial_.setFlowControl(QSerialPort::NoFlowControl);
    apply(line_);
}

QtSerialPort::~QtSerialPort() {
    drainTimer_.stop();
    QObject::disconnect(&serial_, nullptr, nullptr, nullptr);
    closePort();
}

void QtSerialPort::setCommPort(std::int16_t n) {
    if (serial_.isOpen())
        throw veltaro::PortError("Port number cannot change while the port is open");
    if (n < 1 || n > 255)
        throw veltaro::PortError("Invalid port number " + std::to_string(n));
    port_ = n;
}

bool QtSerialPort::portOpen() const {
    return serial_.isOpen();
}

std::string QtSerialPort::deviceFor(std::int16_t n) const {
    auto mapped = trimmed(settings_.readSetting("Veltaro", "Ports", "Com" + std::to_string(n)));
    if (!mapped.empty())
        return mapped;
    return "/dev/ttyS" + std::to_string(n - 1);
}

void QtSerialPort::setPortOpen(bool open) {
    if (!open) {
        closePort();
        return;
    }
    if (serial_.isOpen())
        return;
    auto device = deviceFor(port_);
    serial_.setPortName(QString::fromStdString(device));
    apply(line_);
    failure_.clear();
    serial_.clearError();
    if (!serial_.open(QIODevice::ReadWrite)) {
        auto reason = serial_.errorString().toStdString();
        serial_.clearError();
        throw veltaro::PortError(device + ": " + reason);
    }
}

void QtSerialPort::setSettings(const std::string& settings) {
    auto line = LineSettings::parse(settings);
    if (serial_.isOpen()) {
        serial_.clearError();
        apply(line);
        if (serial_.error() != QSerialPort::NoError) {
            auto reason = serial_.errorString().toStdString();
            serial_.clearError();
            apply(line_);
            throw veltaro::PortError("Port settings \"" + settings + "\" refused: " + reason);
        }
    }
    line_ = line;
}

void QtSerialPort::apply(const LineSettings& line) {
    serial_.setBaudRate(line.baud);
    serial_.setParity(line.parity);
    serial_.setDataBits(line.dataBits);
    serial_.setStopBits(line.stopBits);
}

void QtSerialPort::output(const std::string& text) {
    if (!serial_.isOpen())
        return;
    QByteArray bytes(text.data(), static_cast<qsizetype>(text.size()));
    if (waiting_) {
        // The drain timer is already running for the command this one replaces.
        waiting_ = bytes;
        return;
    }
    if (auto ms = busyMs(); ms > 0) {
        waiting_ = bytes;
        armDrainTimer(ms);
        return;
    }
    write(bytes);
}

qint64 QtSerialPort::queuedBytes() const {
    if (!serial_.isOpen())
        return 0;
    qint64 inDriver = 0;
    int fd = static_cast<int>(serial_.handle());
    if (probe_) {
        inDriver = probe_(fd);
    } else {
        int n = 0;
        if (::ioctl(fd, TIOCOUTQ, &n) == 0)
            inDriver = n;
    }
    return inDriver + serial_.bytesToWrite();
}

void QtSerialPort::write(const QByteArray& bytes) {
    failure_.clear();
    serial_.clearError();
    auto written = serial_.write(bytes);
    if (serial_.isOpen())
        serial_.flush();
    lineFreeAtMs_ = std::max(lineFreeAtMs_, clock_.elapsed()) + wireMs(written > 0 ? written : 0);
    if (written != bytes.size() || !failure_.empty() || !serial_.isOpen()) {
        auto reason = !failure_.empty() ? failure_ : serial_.errorString().toStdString();
        throw veltaro::PortError(serial_.portName().toStdString() + ": " + reason);
    }
}

qint64 QtSerialPort::wireMs(qint64 bytes) const {
    int bitsPerChar = 1 + static_cast<int>(line_.dataBits) +
                      (line_.parity == QSerialPort::NoParity ? 0 : 1) +
                      (line_.stopBits == QSerialPort::OneStop ? 1 : 2);
    return (bytes * bitsPerChar * 1000 + line_.baud - 1) / line_.baud;
}

qint64 QtSerialPort::busyMs() const {
    return std::max(wireMs(queuedBytes()), lineFreeAtMs_ - clock_.elapsed());
}

void QtSerialPort::armDrainTimer(qint64 ms) {
    // The check runs when the line should be free again; nothing runs while no command waits.
    drainTimer_.start(static_cast<int>(std::clamp<qint64>(ms, 1, 1000)));
}

void QtSerialPort::drain() {
    if (!waiting_)
        return;
    if (!serial_.isOpen()) {
        waiting_.reset();
        return;
    }
    if (auto ms = busyMs(); ms > 0) {
        armDrainTimer(ms);
        return;
    }
    auto bytes = *waiting_;
    waiting_.reset();
    try {
        write(bytes);
    } catch (const veltaro::PortError&) {
        // Nobody waits for this write; a failed device has closed the port and later commands
        // are skipped like those of any closed port.
    }
}

void QtSerialPort::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // Left open, a failed device makes QSerialPort report the error over and over.
        failure_ = serial_.errorString().toStdString();
        drainTimer_.stop();
        waiting_.reset();
        serial_.close();
        break;
    default:
        break;
    }
}

void QtSerialPort::closePort() {
    drainTimer_.stop();
    if (serial_.isOpen() && waiting_) {
        // The controller should end on the last frequency given; closing waits for the line.
        serial_.write(*waiting_);
        serial_.flush();
    }
    waiting_.reset();
    if (serial_.isOpen())
        serial_.close();
}

} // namespace veltaro::qt
