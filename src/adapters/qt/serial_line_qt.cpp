#include "adapters/qt/serial_line_qt.h"

#include "base/errors.h"

#include <QSerialPortInfo>

#include <sys/ioctl.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace veltaro::qt {

namespace {

constexpr int BitsPerChar = 10; // start bit, 8 data bits, no parity, 1 stop bit

std::string trimmed(const std::string& text) {
    auto first =
        std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    auto last = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) {
                    return std::isspace(c);
                }).base();
    return first < last ? std::string(first, last) : std::string();
}

qint64 wireMs(qint64 bytes, qint32 baud) {
    return (bytes * BitsPerChar * 1000 + baud - 1) / baud;
}

// The built-in ports that "COM1" to "COM16" stand for when the Ports section names nothing.
bool builtInPort(const std::string& device) {
    static const std::string BuiltInPrefix = "/dev/ttyS";
    if (device.rfind(BuiltInPrefix, 0) != 0 || device.size() > BuiltInPrefix.size() + 2)
        return false;
    const std::string digits = device.substr(BuiltInPrefix.size());
    return !digits.empty() && std::all_of(digits.begin(), digits.end(), [](unsigned char c) {
        return std::isdigit(c);
    }) && std::stoi(digits) < 16;
}

} // namespace

QtSerialLine::QtSerialLine(veltaro::ISettingsStore& settings, QueuedBytesProbe probe,
                           std::string stableNames)
    : settings_(settings), probe_(std::move(probe)), stableNames_(std::move(stableNames)) {
    drainTimer_.setSingleShot(true);
    clock_.start();
    QObject::connect(&drainTimer_, &QTimer::timeout, &drainTimer_, [this] { drain(); });
    QObject::connect(&serial_, &QSerialPort::errorOccurred, &serial_,
                     [this](QSerialPort::SerialPortError e) { onError(e); });
    // What the controller sends goes to the receive handler; without one it is dropped, so
    // nothing piles up.
    QObject::connect(&serial_, &QSerialPort::readyRead, &serial_, [this] {
        const QByteArray bytes = serial_.readAll();
        if (const auto receive = onReceive_)
            receive(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    });
    serial_.setParity(QSerialPort::NoParity);
    serial_.setDataBits(QSerialPort::Data8);
    serial_.setStopBits(QSerialPort::OneStop);
    serial_.setFlowControl(QSerialPort::NoFlowControl);
}

QtSerialLine::~QtSerialLine() {
    drainTimer_.stop();
    QObject::disconnect(&serial_, nullptr, nullptr, nullptr);
    close();
}

bool QtSerialLine::isOpen() const {
    return serial_.isOpen();
}

std::optional<std::string> portDevice(veltaro::ISettingsStore& settings, int n) {
    if (n < 1 || n > 255)
        return std::nullopt;
    auto mapped = trimmed(settings.readSetting("Veltaro", "Ports", "Com" + std::to_string(n)));
    if (!mapped.empty())
        return mapped;
    return "/dev/ttyS" + std::to_string(n - 1);
}

std::optional<std::string> QtSerialLine::deviceFor(int n) const {
    return portDevice(settings_, n);
}

std::vector<veltaro::PresentPort> QtSerialLine::presentPorts() {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> described; // device -> the adapter's description
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        described[info.systemLocation().toStdString()] = info.description().toStdString();
    std::map<std::string, std::string> stableName; // device -> its link in the folder
    std::error_code ec;
    for (fs::directory_iterator it(stableNames_, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path target = fs::canonical(it->path(), ec);
        if (!ec)
            stableName.emplace(target.string(), it->path().string());
        ec.clear();
    }
    for (const auto& [device, link] : stableName)
        described.emplace(device, std::string());
    std::vector<veltaro::PresentPort> present;
    for (const auto& [device, description] : described) {
        auto link = stableName.find(device);
        const std::string name = link != stableName.end() ? link->second : device;
        if (builtInPort(name))
            continue;
        present.push_back({description.empty() ? name : name + " (" + description + ")", 0, name});
    }
    std::sort(present.begin(), present.end(),
              [](const auto& a, const auto& b) { return a.item < b.item; });
    return present;
}

std::map<int, std::string> QtSerialLine::rememberedPorts() {
    std::map<int, std::string> remembered;
    for (int n = 1; n <= 255; ++n)
        if (auto device =
                trimmed(settings_.readSetting("Veltaro", "Ports", "Com" + std::to_string(n)));
            !device.empty())
            remembered[n] = device;
    return remembered;
}

void QtSerialLine::remember(int number, const std::string& device) {
    settings_.writeSetting("Veltaro", "Ports", "Com" + std::to_string(number), device);
}

void QtSerialLine::open(int number, int baud) {
    close();
    const auto device = deviceFor(number);
    if (!device)
        throw veltaro::PortError("there is no port " + std::to_string(number));
    // A device that is not there fails at once, before QSerialPort locks its name.
    if (std::error_code ec; !std::filesystem::exists(*device, ec))
        throw veltaro::PortError(*device + ": No such file or directory");
    ++opening_;
    serial_.setPortName(QString::fromStdString(*device));
    serial_.setBaudRate(baud);
    failure_.clear();
    serial_.clearError();
    // QSerialPort puts the line settings given in the constructor onto the device as it opens.
    if (!serial_.open(QIODevice::ReadWrite)) {
        auto reason = serial_.errorString().toStdString();
        serial_.clearError();
        throw veltaro::PortError(*device + ": " + reason);
    }
}

void QtSerialLine::send(const std::string& bytes) {
    if (!serial_.isOpen())
        throw veltaro::PortError("the serial port is closed");
    QByteArray data(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (waiting_) {
        // The drain timer is already running for the command this one replaces.
        waiting_ = data;
        return;
    }
    if (auto ms = busyMs(); ms > 0) {
        waiting_ = data;
        armDrainTimer(ms);
        return;
    }
    write(data);
}

qint64 QtSerialLine::queuedBytes() const {
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

void QtSerialLine::write(const QByteArray& bytes) {
    failure_.clear();
    serial_.clearError();
    auto written = serial_.write(bytes);
    // Without the flush nothing leaves before the event loop runs.
    if (serial_.isOpen())
        serial_.flush();
    lineFreeAtMs_ = std::max(lineFreeAtMs_, clock_.elapsed()) +
                    wireMs(written > 0 ? written : 0, serial_.baudRate());
    if (written != bytes.size() || !failure_.empty() || !serial_.isOpen()) {
        auto reason = !failure_.empty() ? failure_ : serial_.errorString().toStdString();
        throw veltaro::PortError(serial_.portName().toStdString() + ": " + reason);
    }
}

qint64 QtSerialLine::busyMs() const {
    return std::max(wireMs(queuedBytes(), serial_.baudRate()), lineFreeAtMs_ - clock_.elapsed());
}

void QtSerialLine::armDrainTimer(qint64 ms) {
    // The check runs when the line should be free again; nothing runs while no command waits.
    drainTimer_.start(static_cast<int>(std::clamp<qint64>(ms, 1, 1000)));
}

void QtSerialLine::drain() {
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
        // Nobody waits for this write; a failed device has closed the port, and the next send
        // finds it closed.
    }
}

void QtSerialLine::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
    case QSerialPort::ResourceError:
        // Left open, a failed device makes QSerialPort report the error over and over.
        if (!serial_.isOpen())
            break;
        failure_ = serial_.errorString().toStdString();
        drainTimer_.stop();
        waiting_.reset();
        serial_.close();
        // Told from the event loop, and only while nothing has opened or closed the line since.
        QTimer::singleShot(0, &serial_, [this, opened = opening_] {
            if (opened == opening_ && !serial_.isOpen() && onLost_)
                onLost_();
        });
        break;
    default:
        break;
    }
}

void QtSerialLine::close() {
    ++opening_;
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
