#include "relay/controller_link.h"

#include "about/app_identity.h"
#include "platform/errors.h"
#include "relay/convert.h"

namespace veltaro {

ControllerLink::ControllerLink(ISerialLine& line, IDialogs& dialogs, NumberFormat fmt)
    : line_(line), dialogs_(dialogs), fmt_(fmt) {}

std::vector<std::string> ControllerLink::portItems() {
    std::vector<std::string> items;
    for (int n = 1; n <= 16; ++n)
        items.push_back("Com " + std::to_string(n) + (n <= 3 ? " " : ""));
    return items;
}

std::string ControllerLink::frequencyCommand(std::int32_t khz) {
    return "FA" + formatKHzDigits(khz) + "000;";
}

void ControllerLink::sendFrequency(std::int32_t khz) {
    if (line_.isOpen())
        line_.send(frequencyCommand(khz));
}

void ControllerLink::notAvailable(const std::string& shownAs) {
    dialogs_.messageBox("COM " + shownAs + ": not available. Check Com Port setting.", app::Title);
}

bool ControllerLink::tryOpen(int n, const std::string& shownAs) {
    try {
        line_.open("COM" + std::to_string(n));
        return true;
    } catch (const Error&) {
        notAvailable(shownAs);
        return false;
    }
}

void ControllerLink::openAtStartup(int storedNumber, const std::string& storedText) {
    setPortNumber(storedNumber);
    if (isPortNumber(storedNumber))
        tryOpen(storedNumber, storedText);
    else
        notAvailable(storedText);
}

bool ControllerLink::onPortPicked(const std::string& listText) {
    line_.close();
    std::string selected = listText;
    static const std::string prefix = "Com ";
    for (auto at = selected.find(prefix); at != std::string::npos; at = selected.find(prefix, at))
        selected.erase(at, prefix.size());
    int n = 0;
    try {
        n = textToInt16(selected, fmt_);
    } catch (const Error&) {
    }
    if (!isPortNumber(n)) {
        notAvailable(selected); // a text that names no port cannot be opened either
        return false;
    }
    port_ = n;
    return tryOpen(n, selected);
}

} // namespace veltaro
