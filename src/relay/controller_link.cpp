#include "relay/controller_link.h"

#include "base/errors.h"
#include "base/numbers.h"

#include <algorithm>
#include <set>
#include <utility>

namespace veltaro {

namespace {

// The FA path's line speed, until the controller's protocol chooses it.
constexpr int ControllerSetupFaBaud = 4800;

// A present port that is not simply "Com <n>" is shown and told by its device's name.
bool namedByDevice(const PresentPort& p) {
    return p.item != "Com " + std::to_string(p.number);
}

} // namespace

ControllerLink::ControllerLink(ISerialLine& line, NoticeSink notices)
    : line_(line), notices_(std::move(notices)) {
    line_.setLostHandler([this] { deviceLost(); });
}

ControllerLink::~ControllerLink() {
    line_.setLostHandler({});
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

std::vector<std::string> ControllerLink::refreshPortItems() {
    ++refreshes_;
    std::vector<PresentPort> ports = line_.presentPorts();
    for (const auto& p : ports)
        lastSeen_[p.device] = refreshes_;
    ports = numberPorts(std::move(ports), line_.rememberedPorts(), lastSeen_, port_);
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
    return items;
}

std::string ControllerLink::itemFor(int storedNumber, const std::string& storedText) const {
    if (storedNumber >= FirstFreeNumber)
        for (const auto& p : present_)
            if (p.number == storedNumber)
                return p.item;
    return "Com " + storedText;
}

ControllerLink::SendOutcome ControllerLink::send(const std::string& command) {
    try {
        line_.send(command);
    } catch (const PortError& err) {
        if (line_.isOpen())
            return {command, false, portLabel() + " could not be written (" + err.what() + ")",
                    err.what()};
        deviceLost(); // the write found the device gone and the line closed itself
        return {command, false, portLabel() + " has gone away", {}};
    }
    return {command, true, {}, {}};
}

ControllerLink::SendOutcome ControllerLink::sendFrequency(std::int32_t khz) {
    lastCommand_ = frequencyCommand(khz);
    if (line_.isOpen())
        return send(lastCommand_);
    return {lastCommand_, false, portLabel() + (waiting_ ? " has gone away" : " is not open"), {}};
}

void ControllerLink::show(const std::string& shownAs, bool isDevice) {
    shownAs_ = shownAs;
    shownIsDevice_ = isDevice;
}

std::string ControllerLink::portLabel() const {
    return shownIsDevice_ ? shownAs_ : "COM " + shownAs_;
}

void ControllerLink::notAvailable() {
    notices_({portLabel() + ": not available. Check Com Port setting.", NoticeTiming::AtOnce});
}

bool ControllerLink::tryOpen(int n) {
    try {
        line_.open(n, ControllerSetupFaBaud);
        wanted_ = true;
        return true;
    } catch (const Error&) {
        notAvailable();
        return false;
    }
}

void ControllerLink::openAtStartup(int storedNumber, const std::string& storedText) {
    setPortNumber(storedNumber);
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

bool ControllerLink::onPortPicked(const std::string& listText) {
    line_.close();
    wanted_ = false;
    waiting_ = false;
    std::string selected = listText;
    static const std::string ItemPrefix = "Com ";
    for (auto at = selected.find(ItemPrefix); at != std::string::npos;
         at = selected.find(ItemPrefix, at))
        selected.erase(at, ItemPrefix.size());
    // The list's own items are "Com <n>"; the text is read as the number the user wrote.
    const int n = parseRoundedInt16(selected, NumberFormat{}).value_or(0);
    bool opened = false;
    const auto device = std::find_if(present_.begin(), present_.end(),
                                     [&](const PresentPort& p) { return p.item == listText; });
    if (isPortNumber(n)) {
        port_ = n;
        show(selected, false);
        opened = tryOpen(n);
    } else if (device != present_.end()) {
        port_ = device->number;
        show(namedByDevice(*device) ? device->device : std::to_string(port_),
             namedByDevice(*device));
        try {
            line_.remember(port_, device->device);
        } catch (const Error&) {
            stateChanged_.notify();
            throw;
        }
        opened = tryOpen(port_);
    } else {
        show(selected, false);
        notAvailable(); // a text that names no port cannot be opened either
    }
    stateChanged_.notify();
    return opened;
}

void ControllerLink::close() {
    wanted_ = false;
    waiting_ = false;
    line_.close();
    stateChanged_.notify();
}

void ControllerLink::deviceLost() {
    if (!wanted_ || waiting_ || line_.isOpen())
        return;
    waiting_ = true;
    notices_(
        {portLabel() + ": the port has gone away. Veltaro will open it again when it comes back.",
         NoticeTiming::Posted});
    stateChanged_.notify();
}

void ControllerLink::reopenTick() {
    if (!waiting_)
        return;
    try {
        line_.open(port_, ControllerSetupFaBaud);
    } catch (const Error&) {
        return; // still away; the next tick tries again
    }
    waiting_ = false;
    stateChanged_.notify();
    if (lastCommand_.empty())
        return;
    const SendOutcome outcome = send(lastCommand_);
    if (onResend_)
        onResend_(outcome);
}

} // namespace veltaro
