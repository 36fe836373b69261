// The link to the antenna controller: the frequency command, the port list's items, opening the
// stored port at start-up and changing the port on a pick from the list.
#pragma once

#include "platform/dialogs.h"
#include "platform/serial_line.h"
#include "platform/system.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

class ControllerLink {
public:
    ControllerLink(ISerialLine& line, IDialogs& dialogs, NumberFormat fmt);

    // "Com 1 " to "Com 16"; the first three end with a blank, which the message keeps.
    static std::vector<std::string> portItems();
    // "FA", the kHz as at least eight digits, "000;": the frequency in Hz as eleven digits.
    static std::string frequencyCommand(std::int32_t khz);

    // Sends the command while the line is open; nothing otherwise. Raises PortError.
    void sendFrequency(std::int32_t khz);

    // The port numbers a line can open: "COM1" to "COM255".
    static bool isPortNumber(int n) { return n >= 1 && n <= 255; }

    // The port number that the settings store: the one last tried, even when it did not open.
    int portNumber() const { return port_; }
    // Takes the stored port number before the port is opened, so that saves made meanwhile
    // keep it; a number no port has leaves port 1.
    void setPortNumber(int n) { port_ = isPortNumber(n) ? n : 1; }

    // Opens the stored port (as the stored text gives it); when it cannot be opened, tells the
    // user and goes on closed.
    void openAtStartup(int storedNumber, const std::string& storedText);
    // The user picked an item of the list: closes the line and opens the port the text names.
    // False, after telling the user, when it did not open.
    bool onPortPicked(const std::string& listText);

    void close() { line_.close(); }

private:
    bool tryOpen(int n, const std::string& shownAs);
    void notAvailable(const std::string& shownAs);

    ISerialLine& line_;
    IDialogs& dialogs_;
    NumberFormat fmt_;
    int port_ = 1;
};

} // namespace veltaro
