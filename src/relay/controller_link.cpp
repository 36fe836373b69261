#include "relay/controller_link.h"

#include "about/app_identity.h"
#include "platform/errors.h"
#include "relay/convert.h"

#include <utility>

namespace veltaro {

ControllerLink::ControllerLink(ISerialPort& MSComm1, ComboBox& Combo18, IDialogs& dialogs,
                               NumberFormat fmt, std::function<void()> saveAllSettings)
    : port_(MSComm1), combo_(Combo18), dialogs_(dialogs), fmt_(fmt),
      save_(std::move(saveAllSettings)) {}

std::vector<std::string> ControllerLink::portItems() {
    std::vector<std::string> items;
    for (int n = 1; n <= 16; ++n)
        items.push_back("Com " + std::to_string(n) + (n <= 3 ? " " : ""));
    return items;
}

std::string ControllerLink::frequencyCommand(const std::string& FreqKHzDigits) {
    return "FA" + FreqKHzDigits + "000;";
}

void ControllerLink::SendFrequencyCommand(const std::string& FreqKHzDigits) {
    if (port_.portOpen())
        port_.output(frequencyCommand(FreqKHzDigits));
}

void ControllerLink::notAvailable(const std::string& portText) {
    dialogs_.messageBox("COM " + portText + ": not available. Check Com Port setting.", app::Title);
}

void ControllerLink::OpenAtStartup(const std::string& ComPortSetting) {
    // A number that the port layer refuses cannot be opened either; the line settings are
    // still applied, so that a later pick opens the port at 4800 baud.
    bool opened = true;
    try {
        port_.setCommPort(textToInt16(ComPortSetting, fmt_));
        port_.setPortOpen(true);
    } catch (const Error&) {
        opened = false;
    }
    if (!opened)
        notAvailable(ComPortSetting);
    try {
        port_.setSettings(LineSettings);
    } catch (const Error&) {
    }
}

void ControllerLink::Combo18_Click() {
    if (port_.portOpen())
        port_.setPortOpen(false);
    SelectedPort = combo_.text();
    static const std::string prefix = "Com ";
    for (auto at = SelectedPort.find(prefix); at != std::string::npos;
         at = SelectedPort.find(prefix, at))
        SelectedPort.erase(at, prefix.size());
    try {
        port_.setCommPort(textToInt16(SelectedPort, fmt_));
    } catch (const Error&) {
        // A text that names no usable port cannot be opened either.
        notAvailable(SelectedPort);
        return;
    }
    try {
        port_.setPortOpen(true);
    } catch (const Error&) {
        notAvailable(SelectedPort);
        return;
    }
    save_();
}

} // namespace veltaro
