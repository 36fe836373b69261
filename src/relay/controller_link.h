// The link to the antenna controller: the frequency command, the port list's items (the fixed
// "Com 1" to "Com 16" and the ports present, numbered; a number whose device has been away
// longest is given again once none is free), opening the stored port at start-up, changing the
// port on a pick from the list, and a device that goes away: the user is told once, the port is
// tried again once per tick until it opens, and the last command is sent again. Each frequency
// command tells what became of it: written to the line, or not and why.
// Collaborations: the relay session owns it, sends through it and runs reopenTick() while
// waitingForDevice(); ISerialLine is the line; what the user is told goes to the NoticeSink.
#pragma once

#include "base/notice.h"
#include "base/signal.h"
#include "ports/serial_line.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace veltaro {

class ControllerLink {
public:
    // How often a port whose device went away is tried again.
    static constexpr int ReopenIntervalMs = 1000;
    // The numbers a present device may be given, beyond the list's fixed items.
    static constexpr int FirstFreeNumber = 17;

    ControllerLink(ISerialLine& line, NoticeSink notices);
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // "Com 1 " to "Com 16"; the first three end with a blank, which the message keeps.
    static std::vector<std::string> portItems();
    // "FA", the kHz as at least eight digits, "000;": the frequency in Hz as eleven digits.
    static std::string frequencyCommand(std::int32_t khz);
    // When each device was last seen present: the count of the list refresh that saw it last.
    // A device not seen in this run has no entry: it counts as absent since before the start.
    using LastSeen = std::map<std::string, std::uint64_t>;
    // Gives each present port without a number one: the number its device is remembered under
    // (the lowest), else the first from 17 to 255 that is neither remembered nor given to a port
    // before it, else the number of the remembered entry from 17 whose device has been absent
    // longest (ties: the lowest number). The entry of `kept` (the port in use) is never given
    // away. A port for which no number is left keeps 0.
    static std::vector<PresentPort> numberPorts(std::vector<PresentPort> present,
                                                const std::map<int, std::string>& remembered,
                                                const LastSeen& lastSeen = {}, int kept = 0);

    // Asks the line which ports are present now; returns portItems() followed by theirs. A
    // device left without a number is told once in the run.
    std::vector<std::string> refreshPortItems();
    // The list text that shows a stored port: a present device's item for a number beyond the
    // fixed items, else "Com " and the stored text.
    std::string itemFor(int storedNumber, const std::string& storedText) const;

    // What became of a frequency command.
    struct SendOutcome {
        std::string command; // "FA00014074000;"
        bool written = false;
        std::string why;     // when not written: "COM 5 is not open"
        std::string failure; // when a write failed on an open line: the line's error
    };

    // Keeps the command as the one to send again after a reopen and sends it while the line is
    // open. A write that finds the device gone is its loss (told once), not a failure.
    SendOutcome sendFrequency(std::int32_t khz);
    // Told when a command is sent again after a reopen.
    void setResendHandler(std::function<void(const SendOutcome&)> onResend) {
        onResend_ = std::move(onResend);
    }

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
    // The user picked an item of the list: ends any waiting, closes the line and opens the port
    // the text names, a present device under the number it was given. False, after telling the
    // user, when it did not open.
    bool onPortPicked(const std::string& listText);

    // Lets go of the port and ends any waiting.
    void close();

    bool isOpen() const { return line_.isOpen(); }
    // The open device went away; reopenTick() tries it again.
    bool waitingForDevice() const { return waiting_; }
    // The port as the user sees it: "5" for "Com 5", or a present device's name.
    const std::string& portShownAs() const { return shownAs_; }
    // The port as messages name it: "COM 5", or a present device's name.
    std::string portLabel() const;
    // Told on open, close, loss and reopen.
    Signal& stateChanged() { return stateChanged_; }
    // While waiting: one attempt to open the port; once it opens, the last command goes again.
    void reopenTick();

private:
    bool tryOpen(int n);
    void notAvailable();
    void deviceLost();
    SendOutcome send(const std::string& command);
    void show(const std::string& shownAs, bool isDevice);

    ISerialLine& line_;
    NoticeSink notices_;
    int port_ = 1;
    std::string shownAs_ = "1";
    bool shownIsDevice_ = false;
    bool wanted_ = false; // the port opened and has not been let go of since
    bool waiting_ = false;
    std::string lastCommand_;
    std::vector<PresentPort> present_;
    LastSeen lastSeen_;
    std::uint64_t refreshes_ = 0;
    bool toldNoNumber_ = false;
    Signal stateChanged_;
    std::function<void(const SendOutcome&)> onResend_;
};

} // namespace veltaro
