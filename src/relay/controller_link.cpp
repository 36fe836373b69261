#include "relay/controller_link.h"

#include "base/errors.h"
#include "base/numbers.h"
#include "protocols/net_address.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

namespace veltaro {

namespace {

// A present port that is not simply "Com <n>" is shown and told by its device's name.
bool namedByDevice(const PresentPort& p) {
    return p.item != "Com " + std::to_string(p.number);
}

std::string portKey(int n) {
    return "Com" + std::to_string(n);
}

std::string trimmed(const std::string& text) {
    const auto blank = [](unsigned char c) { return std::isspace(c); };
    const auto first = std::find_if_not(text.begin(), text.end(), blank);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), blank).base();
    return first < last ? std::string(first, last) : std::string();
}

bool sameServer(const NetAddress& a, const NetAddress& b) {
    return a.port == b.port && std::equal(a.host.begin(), a.host.end(), b.host.begin(),
                                          b.host.end(), [](unsigned char x, unsigned char y) {
                                              return std::tolower(x) == std::tolower(y);
                                          });
}

} // namespace

ControllerLink::ControllerLink(ISerialLine& line, NoticeSink notices)
    : line_(line), notices_(std::move(notices)), serialPort_(line) {
    serialPort_.setHandlers(portHandlers());
}

ControllerLink::ControllerLink(ISerialLine& line, ServerParts servers, NoticeSink notices)
    : ControllerLink(line, std::move(notices)) {
    settings_ = &servers.settings;
    serverPort_ =
        std::make_unique<ServerControllerPort>(servers.network, servers.timers, servers.clock);
    serverPort_->setHandlers(portHandlers());
}

ControllerLink::~ControllerLink() = default;

ControllerPort::Handlers ControllerLink::portHandlers() {
    return {[this](std::string_view bytes) {
                if (const auto receive = onReceive_)
                    receive(bytes);
            },
            [this] { cameBack(); }, [this](const ControllerPort::Loss& loss) { wentAway(loss); }};
}

std::vector<std::string> ControllerLink::portItems() {
    std::vector<std::string> items;
    for (int n = 1; n <= 16; ++n)
        items.push_back("Com " + std::to_string(n) + (n <= 3 ? " " : ""));
    return items;
}

std::string ControllerLink::frequencyCommand(std::int32_t khz) {
    return "FA" + formatKHzDigits(khz) + "000;";
}

std::vector<PresentPort> ControllerLink::numberPorts(std::vector<PresentPort> present,
                                                     const std::map<int, std::string>& remembered,
                                                     const LastSeen& lastSeen, int kept) {
    std::set<int> taken; // remembered or a present port's
    std::set<int> held;  // a present port's
    std::set<std::string> here;
    for (const auto& p : present) {
        held.insert(p.number);
        here.insert(p.device);
    }
    taken = held;
    for (const auto& [n, device] : remembered)
        taken.insert(n);
    // The entries whose device is away, the one away longest first.
    std::vector<std::pair<std::uint64_t, int>> away;
    for (const auto& [n, device] : remembered) {
        if (n < FirstFreeNumber || !isPortNumber(n) || n == kept || held.count(n) ||
            here.count(device))
            continue;
        const auto seen = lastSeen.find(device);
        away.emplace_back(seen == lastSeen.end() ? 0 : seen->second, n);
    }
    std::sort(away.begin(), away.end());
    auto nextAway = away.begin();
    int nextFree = FirstFreeNumber;
    for (auto& p : present) {
        if (p.number != 0)
            continue;
        const auto known = std::find_if(remembered.begin(), remembered.end(),
                                        [&](const auto& r) { return r.second == p.device; });
        while (nextFree <= 255 && taken.count(nextFree))
            ++nextFree;
        if (known != remembered.end()) {
            p.number = known->first;
        } else if (nextFree <= 255) {
            p.number = nextFree;
            taken.insert(nextFree);
        } else if (nextAway != away.end()) {
            p.number = nextAway->second;
            ++nextAway;
        }
    }
    return present;
}

std::string ControllerLink::serverItem(const std::string& entry) {
    const auto address = parseServerEntry(entry, nullptr);
    return (address ? formatNetAddress(*address) : entry) + " (network)";
}

std::optional<std::string> ControllerLink::serverEntryAt(int n) const {
    if (!settings_ || !isPortNumber(n))
        return std::nullopt;
    std::string entry =
        trimmed(settings_->readSetting(SettingsApplication, PortsSection, portKey(n)));
    if (!isServerEntry(entry))
        return std::nullopt;
    return entry;
}

std::map<int, std::string> ControllerLink::readServers() const {
    std::map<int, std::string> servers;
    for (int n = 1; settings_ && n <= 255; ++n)
        if (auto entry = serverEntryAt(n))
            servers[n] = std::move(*entry);
    return servers;
}

// The serial servers as ports that are always present under their numbers: never given away.
std::vector<PresentPort> ControllerLink::serverPorts() const {
    std::vector<PresentPort> ports;
    for (const auto& [n, entry] : servers_)
        ports.push_back({serverItem(entry), n, entry});
    return ports;
}

// What the line remembers, and the serial servers (which a Windows line does not keep).
std::map<int, std::string> ControllerLink::remembered() {
    std::map<int, std::string> remembered = line_.rememberedPorts();
    for (const auto& [n, entry] : servers_)
        remembered[n] = entry;
    return remembered;
}

std::vector<std::string> ControllerLink::refreshPortItems() {
    ++refreshes_;
    std::vector<PresentPort> ports = line_.presentPorts();
    for (const auto& p : ports)
        lastSeen_[p.device] = refreshes_;
    servers_ = readServers();
    const std::vector<PresentPort> servers = serverPorts();
    ports.insert(ports.end(), servers.begin(), servers.end());
    ports = numberPorts(std::move(ports), remembered(), lastSeen_, port_);
    ports.resize(ports.size() - servers.size());
    present_.clear();
    std::string left; // the devices no number is left for
    for (auto& p : ports) {
        if (p.number == 0)
            left += (left.empty() ? "" : ", ") + p.device;
        else
            present_.push_back(std::move(p));
    }
    if (!left.empty() && !toldNoNumber_) {
        toldNoNumber_ = true;
        notices_({"No port number is left for " + left +
                      ": every number from 17 to 255 is in use. Unplug a serial device you do "
                      "not use, then open the port list again.",
                  NoticeTiming::Posted});
    }
    std::vector<std::string> items = portItems();
    for (const auto& p : present_)
        items.push_back(p.item);
    for (const auto& p : servers)
        items.push_back(p.item);
    if (serverPort_)
        items.push_back(NetworkControllerItem);
    return items;
}

std::string ControllerLink::itemFor(int storedNumber, const std::string& storedText) const {
    if (const auto server = servers_.find(storedNumber); server != servers_.end())
        return serverItem(server->second);
    if (storedNumber >= FirstFreeNumber)
        for (const auto& p : present_)
            if (p.number == storedNumber)
                return p.item;
    return "Com " + storedText;
}

ControllerLink::SendOutcome ControllerLink::send(const std::string& command) {
    try {
        if (active_ && active_->send(command))
            return {command, true, {}, {}};
    } catch (const PortError& err) {
        return {command, false, portLabel() + " could not be written (" + err.what() + ")",
                err.what()};
    }
    // The write found the device gone: its loss has been told.
    return {command, false, portLabel() + " has gone away", {}};
}

ControllerLink::SendOutcome ControllerLink::sendFrequency(std::int32_t khz) {
    lastCommand_ = frequencyCommand(khz);
    if (isOpen())
        return send(lastCommand_);
    if (connecting()) {
        resendOnOpen_ = true;
        return {lastCommand_, false, portLabel() + " is being connected to", {}};
    }
    return {lastCommand_,
            false,
            portLabel() + (waitingForDevice() ? " has gone away" : " is not open"),
            {}};
}

bool ControllerLink::sendBytes(const std::string& bytes) {
    return isOpen() && send(bytes).written;
}

void ControllerLink::show(const std::string& shownAs, bool byName) {
    shownAs_ = shownAs;
    shownByName_ = byName;
}

std::string ControllerLink::portLabel() const {
    return shownByName_ ? shownAs_ : "COM " + shownAs_;
}

bool ControllerLink::connecting() const {
    return active_ && active_->state() == ControllerPort::State::Opening;
}

bool ControllerLink::waitingForDevice() const {
    return active_ && active_->state() == ControllerPort::State::Lost;
}

bool ControllerLink::needsReopenTicks() const {
    return active_ == &serialPort_ && waitingForDevice();
}

std::optional<NetAddress> ControllerLink::serverAddress() const {
    if (serverPort_ && active_ == serverPort_.get())
        return serverPort_->address();
    return std::nullopt;
}

void ControllerLink::notAvailable() {
    notices_({portLabel() + ": not available. Check Com Port setting.", NoticeTiming::AtOnce});
}

void ControllerLink::setLineBaud(int baud) {
    if (baud == baud_)
        return;
    baud_ = baud;
    if (active_ != &serialPort_ || serialPort_.state() != ControllerPort::State::Open)
        return; // a device away is tried again at the new rate
    serialPort_.close();
    noteOpenness();
    tryOpen(port_);
    stateChanged_.notify();
}

bool ControllerLink::tryOpen(int n) {
    active_ = &serialPort_;
    serialPort_.setNumber(n);
    try {
        serialPort_.open(baud_);
    } catch (const Error&) {
        notAvailable();
        return false;
    }
    noteOpenness();
    return true;
}

bool ControllerLink::openServer(const std::string& entry) {
    std::string why;
    const auto address = parseServerEntry(entry, &why);
    show(address ? formatNetAddress(*address) : entry, true);
    if (!serverPort_ || !address) {
        notices_({portLabel() + ": " + (address ? "serial servers cannot be reached here" : why) +
                      ". Check the serial server's address.",
                  NoticeTiming::AtOnce});
        return false;
    }
    active_ = serverPort_.get();
    serverPort_->setAddress(*address);
    serverPort_->open(baud_);
    return true;
}

void ControllerLink::openAtStartup(int storedNumber, const std::string& storedText) {
    setPortNumber(storedNumber);
    if (const auto entry = serverEntryAt(storedNumber)) {
        openServer(*entry);
        stateChanged_.notify();
        return;
    }
    const std::string item = itemFor(storedNumber, storedText);
    const auto device = std::find_if(present_.begin(), present_.end(), [&](const PresentPort& p) {
        return p.item == item && namedByDevice(p);
    });
    show(device != present_.end() ? device->device : storedText, device != present_.end());
    if (isPortNumber(storedNumber))
        tryOpen(storedNumber);
    else
        notAvailable();
    stateChanged_.notify();
}

bool ControllerLink::pickNumber(int n, const std::string& selected) {
    port_ = n;
    if (const auto entry = serverEntryAt(n))
        return openServer(*entry);
    show(selected, false);
    return tryOpen(n);
}

bool ControllerLink::pickDevice(const PresentPort& device) {
    port_ = device.number;
    show(namedByDevice(device) ? device.device : std::to_string(port_), namedByDevice(device));
    try {
        line_.remember(port_, device.device);
    } catch (const Error&) {
        stateChanged_.notify();
        throw;
    }
    return tryOpen(port_);
}

bool ControllerLink::onPortPicked(const std::string& listText) {
    if (listText == NetworkControllerItem)
        return false; // the window asks for the address
    letGo();
    std::string selected = listText;
    static const std::string ItemPrefix = "Com ";
    for (auto at = selected.find(ItemPrefix); at != std::string::npos;
         at = selected.find(ItemPrefix, at))
        selected.erase(at, ItemPrefix.size());
    // The list's own items are "Com <n>"; the text is read as the number the user wrote.
    const int n = parseRoundedInt16(selected, NumberFormat{}).value_or(0);
    const auto server = std::find_if(servers_.begin(), servers_.end(), [&](const auto& s) {
        return serverItem(s.second) == listText;
    });
    const auto device = std::find_if(present_.begin(), present_.end(),
                                     [&](const PresentPort& p) { return p.item == listText; });
    bool opened = false;
    if (server != servers_.end()) {
        port_ = server->first;
        opened = openServer(server->second);
    } else if (isPortNumber(n)) {
        opened = pickNumber(n, selected);
    } else if (device != present_.end()) {
        opened = pickDevice(*device);
    } else {
        show(selected, false);
        notAvailable(); // a text that names no port cannot be opened either
    }
    stateChanged_.notify();
    return opened;
}

int ControllerLink::numberForServer(const NetAddress& address, const std::string& entry) {
    for (const auto& [n, known] : servers_)
        if (const auto at = parseServerEntry(known, nullptr); at && sameServer(*at, address))
            return n;
    std::vector<PresentPort> ports = present_;
    const std::vector<PresentPort> servers = serverPorts();
    ports.insert(ports.end(), servers.begin(), servers.end());
    ports.push_back({serverItem(entry), 0, entry});
    return numberPorts(std::move(ports), remembered(), lastSeen_, port_).back().number;
}

bool ControllerLink::openNetworkController(const NetAddress& address) {
    const std::string shown = formatNetAddress(address);
    if (!serverPort_) {
        notices_({shown + ": serial servers cannot be reached here.", NoticeTiming::AtOnce});
        return false;
    }
    servers_ = readServers();
    const std::string entry = serverEntry(address);
    const int n = numberForServer(address, entry);
    if (n == 0) {
        notices_({"No port number is left for " + shown +
                      ": every number from 17 to 255 is in use. Remove a port entry you do not "
                      "use, then try again.",
                  NoticeTiming::AtOnce});
        return false;
    }
    try {
        settings_->writeSetting(SettingsApplication, PortsSection, portKey(n), entry);
    } catch (const Error& err) {
        notices_({shown + " could not be stored as port " + std::to_string(n) + " (" + err.what() +
                      "); it is used until Veltaro ends.",
                  NoticeTiming::Posted});
    }
    servers_[n] = entry;
    letGo();
    port_ = n;
    const bool started = openServer(entry);
    stateChanged_.notify();
    return started;
}

void ControllerLink::letGo() {
    if (active_)
        active_->close();
    active_ = nullptr;
    line_.close(); // whatever opened it
    resendOnOpen_ = false;
    noteOpenness();
}

void ControllerLink::close() {
    letGo();
    stateChanged_.notify();
}

void ControllerLink::noteOpenness() {
    const bool open = isOpen();
    if (open == wasOpen_)
        return;
    wasOpen_ = open;
    (open ? portOpened_ : portClosed_).notify();
}

void ControllerLink::wentAway(const ControllerPort::Loss& loss) {
    resendOnOpen_ = true;
    if (loss.tell) {
        std::string text;
        if (active_ == &serialPort_)
            text = ": the port has gone away. Veltaro will open it again when it comes back.";
        else if (loss.wasOpen)
            text = ": the serial server has gone away. Veltaro will connect again when it is back.";
        else
            text = ": the serial server does not answer (" + loss.reason +
                   "). Veltaro will keep trying to connect.";
        notices_({portLabel() + text, NoticeTiming::Posted});
    }
    noteOpenness();
    stateChanged_.notify();
}

void ControllerLink::cameBack() {
    noteOpenness();
    stateChanged_.notify();
    const bool resend = resendOnOpen_ && !lastCommand_.empty();
    resendOnOpen_ = false;
    if (!resend || !isOpen())
        return;
    const SendOutcome outcome = send(lastCommand_);
    if (onResend_)
        onResend_(outcome);
}

void ControllerLink::reopenTick() {
    if (active_ == &serialPort_)
        serialPort_.retry(baud_);
}

} // namespace veltaro
