// The link to the antenna controller: the frequency command, the port list's items (the fixed
// "Com 1" to "Com 16", the ports present, numbered (a number whose device has been away longest
// is given again once none is free), the serial servers by their address, and "Network
// controller..."), opening the stored port at start-up, changing the port on a pick from the
// list or to a serial server the user names, and a port that goes away: the user is told once,
// a device is tried again once per tick and a serial server on its own back-off until it is
// back, and the last command is sent again. Each frequency command tells what became of it:
// written to the port, or not and why. The bytes the controller sends go to a handler.
// Collaborations: the relay session owns it, sends through it, gives it the line's baud rate and
// runs reopenTick() while needsReopenTicks(); the ports it talks through are in
// relay/controller_port (ISerialLine for a device, INetwork for a serial server, whose entries
// live in the settings store's section "Ports"); what the user is told goes to the NoticeSink.
#pragma once

#include "base/notice.h"
#include "base/signal.h"
#include "ports/clock.h"
#include "ports/network.h"
#include "ports/serial_line.h"
#include "ports/settings_store.h"
#include "ports/timers.h"
#include "relay/controller_port.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro {

class ControllerLink {
public:
    // How often a port whose device went away is tried again.
    static constexpr int ReopenIntervalMs = 1000;
    // The numbers a present device may be given, beyond the list's fixed items.
    static constexpr int FirstFreeNumber = 17;
    // The line's baud rate until setLineBaud() says otherwise: the FA path's.
    static constexpr int FaBaud = 4800;
    // The list's last item while serial servers can be reached: the window asks for an address
    // and hands it to openNetworkController().
    static constexpr const char* NetworkControllerItem = "Network controller...";
    // Where the port entries live in the settings store.
    static constexpr const char* SettingsApplication = "Veltaro";
    static constexpr const char* PortsSection = "Ports";

    // What reaching a serial server takes.
    struct ServerParts {
        INetwork& network;
        ISettingsStore& settings; // the entries Ports/Com<n>=tcp:HOST:PORT
        ITimers& timers;
        IClock& clock;
    };

    // Devices only: no serial servers, no "Network controller..." item.
    ControllerLink(ISerialLine& line, NoticeSink notices);
    ControllerLink(ISerialLine& line, ServerParts servers, NoticeSink notices);
    ~ControllerLink();
    ControllerLink(const ControllerLink&) = delete;
    ControllerLink& operator=(const ControllerLink&) = delete;

    // "Com 1 " to "Com 16"; the first three end with a blank, which the message keeps.
    static std::vector<std::string> portItems();
    // "FA", the kHz as at least eight digits, "000;": the frequency in Hz as eleven digits.
    static std::string frequencyCommand(std::int32_t khz);
    // "192.168.1.50:4001 (network)": a serial server's entry as the list shows it.
    static std::string serverItem(const std::string& entry);
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

    // Asks the line which ports are present now and the settings which serial servers are
    // entered; returns portItems(), the present devices, the serial servers by number and, with
    // serial servers, NetworkControllerItem. A device left without a number is told once in
    // the run.
    std::vector<std::string> refreshPortItems();
    // The devices present at the last refresh, with the numbers they were given.
    const std::vector<PresentPort>& presentPorts() const { return present_; }
    // The list text that shows a stored port: a serial server's item, a present device's item
    // for a number beyond the fixed items, else "Com " and the stored text.
    std::string itemFor(int storedNumber, const std::string& storedText) const;

    // What became of a frequency command.
    struct SendOutcome {
        std::string command; // "FA00014074000;"
        bool written = false;
        std::string why;     // when not written: "COM 5 is not open"
        std::string failure; // when a write failed on an open line: the line's error
    };

    // Keeps the command as the one to send again after a reopen and sends it while the port is
    // open; one given while a serial server is being connected to goes once it answers. A write
    // that finds the device gone is its loss (told once), not a failure.
    SendOutcome sendFrequency(std::int32_t khz);
    // Bytes of the controller's own protocol, not kept for a resend; false when the port is not
    // open or the write failed.
    bool sendBytes(const std::string& bytes);
    // The command kept for a reopen is let go of (the protocol changed).
    void forgetLastCommand() { lastCommand_.clear(); }
    // Told when a command is sent again after a reopen.
    void setResendHandler(std::function<void(const SendOutcome&)> onResend) {
        onResend_ = std::move(onResend);
    }
    // The bytes the controller sends, from the event loop; without a handler they are dropped.
    void setReceiveHandler(std::function<void(std::string_view bytes)> onBytes) {
        onReceive_ = std::move(onBytes);
    }

    // The port numbers a line can open: "COM1" to "COM255".
    static bool isPortNumber(int n) { return n >= 1 && n <= 255; }

    // The port number that the settings store: the one last tried, even when it did not open.
    int portNumber() const { return port_; }
    // Takes the stored port number before the port is opened, so that saves made meanwhile
    // keep it; a number no port has leaves port 1.
    void setPortNumber(int n) { port_ = isPortNumber(n) ? n : 1; }
    // The baud rate a device is opened at from now on (8N1 always); a device open or away is
    // opened again at it. A serial server keeps its own.
    void setLineBaud(int baud);
    int lineBaud() const { return baud_; }

    // Opens the stored port (as the stored text gives it); when it cannot be opened, tells the
    // user and goes on closed. A serial server is connected to without waiting.
    void openAtStartup(int storedNumber, const std::string& storedText);
    // The user picked an item of the list: ends any waiting, closes the port and opens the one
    // the text names, a present device under the number it was given, a serial server by its
    // entry. False, after telling the user, when it did not open (or, for a serial server, did
    // not start connecting). NetworkControllerItem changes nothing and returns false.
    bool onPortPicked(const std::string& listText);
    // The user named a serial server: it keeps its entry's number, else gets the first free
    // from 17, else the number whose device has been away longest; its entry (tcp:HOST:PORT) is
    // stored and the port connected to. False, after telling the user, when no number is left
    // or serial servers cannot be reached.
    bool openNetworkController(const NetAddress& address);

    // Lets go of the port and ends any waiting.
    void close();

    bool isOpen() const { return active_ && active_->isOpen(); }
    // A serial server not yet answering since it was opened.
    bool connecting() const;
    // The device or serial server went away (or a serial server never answered); it is opened
    // again once it is back.
    bool waitingForDevice() const;
    // A device went away: reopenTick() tries it again (a serial server retries on its own).
    bool needsReopenTicks() const;
    // The serial server in use, if one is.
    std::optional<NetAddress> serverAddress() const;
    // The port as the user sees it: "5" for "Com 5", a present device's name, or a serial
    // server's address.
    const std::string& portShownAs() const { return shownAs_; }
    // The port as messages name it: "COM 5", a present device's name or a serial server's
    // address.
    std::string portLabel() const;
    // Told on open, close, loss and reopen.
    Signal& stateChanged() { return stateChanged_; }
    // Told each time the port becomes open (start-up, a pick, a serial server answering, a
    // return), and each time it stops being open (a close, a pick, a loss).
    Signal& portOpened() { return portOpened_; }
    Signal& portClosed() { return portClosed_; }
    // While a device is away: one attempt to open it; once it opens, the last command goes
    // again.
    void reopenTick();

private:
    ControllerPort::Handlers portHandlers();
    bool tryOpen(int n);
    bool openServer(const std::string& entry);
    bool pickNumber(int n, const std::string& selected);
    bool pickDevice(const PresentPort& device);
    void letGo();
    void notAvailable();
    void cameBack();
    void wentAway(const ControllerPort::Loss& loss);
    void noteOpenness();
    SendOutcome send(const std::string& command);
    void show(const std::string& shownAs, bool byName);
    std::optional<std::string> serverEntryAt(int n) const;
    std::map<int, std::string> readServers() const;
    std::vector<PresentPort> serverPorts() const;
    std::map<int, std::string> remembered();
    int numberForServer(const NetAddress& address, const std::string& entry);

    ISerialLine& line_;
    NoticeSink notices_;
    ISettingsStore* settings_ = nullptr; // with serial servers only
    SerialControllerPort serialPort_;
    std::unique_ptr<ServerControllerPort> serverPort_;
    ControllerPort* active_ = nullptr; // the port opened last, if any
    int baud_ = FaBaud;
    int port_ = 1;
    std::string shownAs_ = "1";
    bool shownByName_ = false;
    bool resendOnOpen_ = false;
    bool wasOpen_ = false;
    std::string lastCommand_;
    std::vector<PresentPort> present_;
    std::map<int, std::string> servers_; // number -> entry, as the list last showed them
    LastSeen lastSeen_;
    std::uint64_t refreshes_ = 0;
    bool toldNoNumber_ = false;
    Signal stateChanged_;
    Signal portOpened_;
    Signal portClosed_;
    std::function<void(const SendOutcome&)> onResend_;
    std::function<void(std::string_view)> onReceive_;
};

} // namespace veltaro
