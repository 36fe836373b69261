#include "relay/controller_port.h"

#include "base/errors.h"
#include "protocols/net_address.h"

#include <algorithm>
#include <cctype>

namespace veltaro {

namespace {

std::string_view trimmedFront(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

} // namespace

bool isServerEntry(std::string_view entry) {
    entry = trimmedFront(entry);
    return entry.size() >= ServerEntryPrefix.size() &&
           std::equal(
               ServerEntryPrefix.begin(), ServerEntryPrefix.end(), entry.begin(),
               [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

std::optional<NetAddress> parseServerEntry(std::string_view entry, std::string* why) {
    if (!isServerEntry(entry)) {
        if (why)
            *why = "it does not start with \"tcp:\"";
        return std::nullopt;
    }
    const std::string_view rest = trimmedFront(entry).substr(ServerEntryPrefix.size());
    auto address = parseNetAddress(rest, {}, why);
    if (address && address->host.empty()) {
        if (why)
            *why = "the host is missing";
        return std::nullopt;
    }
    return address;
}

std::string serverEntry(const NetAddress& address) {
    return std::string(ServerEntryPrefix) + formatNetAddress(address);
}

void ControllerPort::tellReceived(std::string_view bytes) const {
    if (const auto& received = handlers_.received)
        received(bytes);
}

void ControllerPort::tellOpened() const {
    // Through a copy: the handler may replace the handlers.
    if (const auto opened = handlers_.opened)
        opened();
}

void ControllerPort::tellLost(const Loss& loss) const {
    if (const auto lost = handlers_.lost)
        lost(loss);
}

SerialControllerPort::SerialControllerPort(ISerialLine& line) : line_(line) {
    line_.setLostHandler([this] { lose(); });
    line_.setReceiveHandler([this](std::string_view bytes) { tellReceived(bytes); });
}

SerialControllerPort::~SerialControllerPort() {
    line_.setLostHandler({});
    line_.setReceiveHandler({});
}

void SerialControllerPort::open(int baud) {
    wanted_ = false;
    lost_ = false;
    line_.open(number_, baud);
    wanted_ = true;
}

void SerialControllerPort::close() {
    wanted_ = false;
    lost_ = false;
    line_.close();
}

ControllerPort::State SerialControllerPort::state() const {
    if (lost_)
        return State::Lost;
    return wanted_ && line_.isOpen() ? State::Open : State::Closed;
}

bool SerialControllerPort::send(const std::string& bytes) {
    if (state() != State::Open)
        return false;
    try {
        line_.send(bytes);
    } catch (const PortError&) {
        if (line_.isOpen())
            throw;
        lose(); // the write found the device gone and the line closed itself
        return false;
    }
    return true;
}

void SerialControllerPort::lose() {
    if (!wanted_ || lost_ || line_.isOpen())
        return;
    lost_ = true;
    tellLost({});
}

void SerialControllerPort::retry(int baud) {
    if (!lost_)
        return;
    try {
        line_.open(number_, baud);
    } catch (const Error&) {
        return; // still away
    }
    lost_ = false;
    tellOpened();
}

ServerControllerPort::ServerControllerPort(INetwork& network, ITimers& timers, IClock& clock)
    : network_(network), clock_(clock), retryTimer_(timers.makeTimer([this] {
          retryTimer_->stop();
          if (state_ == State::Lost)
              connect();
      })) {}

ServerControllerPort::~ServerControllerPort() {
    retryTimer_.reset();
    link_.reset();
}

void ServerControllerPort::open(int) {
    close();
    state_ = State::Opening;
    nextDelayMs_ = FirstRetryMs;
    told_ = false;
    connect();
}

void ServerControllerPort::close() {
    state_ = State::Closed;
    connecting_ = false;
    retryTimer_->stop();
    if (link_)
        link_->close();
}

bool ServerControllerPort::send(const std::string& bytes) {
    if (state_ != State::Open)
        return false;
    link_->send(bytes); // a failure ends the connection, told later
    return true;
}

void ServerControllerPort::connect() {
    if (!link_)
        link_ = network_.makeStreamLink();
    connecting_ = true;
    link_->connect(address_, {[this] { connected(); },
                              [this](std::string_view bytes) { tellReceived(bytes); },
                              [this](const std::string& reason) { ended(reason); }});
}

void ServerControllerPort::connected() {
    state_ = State::Open;
    openedAtMs_ = clock_.nowMs();
    tellOpened();
}

void ServerControllerPort::ended(const std::string& reason) {
    if (state_ == State::Closed || !connecting_)
        return; // let go of, or no connection under way
    connecting_ = false;
    const bool wasOpen = state_ == State::Open;
    if (wasOpen && clock_.nowMs() - openedAtMs_ >= SteadyMs) {
        nextDelayMs_ = FirstRetryMs;
        told_ = false;
    }
    state_ = State::Lost;
    const bool tell = !told_;
    told_ = true;
    retryTimer_->start(nextDelayMs_);
    nextDelayMs_ = std::min(nextDelayMs_ * 2, MaxRetryMs);
    tellLost({reason, wasOpen, tell});
}

} // namespace veltaro
