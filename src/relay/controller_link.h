// The serial link to the antenna controller: the frequency command, the port opening at
// start-up and the port selection in Combo18.
#pragma once

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/serial_port.h"
#include "platform/system.h"

#include <functional>
#include <string>
#include <vector>

namespace veltaro {

class ControllerLink {
public:
    static constexpr const char* LineSettings = "4800,n,8,1";

    ControllerLink(ISerialPort& MSComm1, ComboBox& Combo18, IDialogs& dialogs, NumberFormat fmt,
                   std::function<void()> saveAllSettings);

    // The 16 items of the port list, the first three with a trailing blank.
    static std::vector<std::string> portItems();
    static std::string frequencyCommand(const std::string& FreqKHzDigits);

    // Sends "FA" + digits + "000;" when the port is open; nothing otherwise.
    void SendFrequencyCommand(const std::string& FreqKHzDigits);

    // The start-up opening: a port number that is refused or a port that does not open shows
    // the "not available" message; the line settings are set either way.
    void OpenAtStartup(const std::string& ComPortSetting);

    // Selection handling of Combo18.
    void Combo18_Click();

    // The message for a port that cannot be opened.
    void notAvailable(const std::string& portText);

    std::string SelectedPort;

private:
    ISerialPort& port_;
    ComboBox& combo_;
    IDialogs& dialogs_;
    NumberFormat fmt_;
    std::function<void()> save_;
};

} // namespace veltaro
