// Responsibilities: the way to the antenna controller: a serial device, or a serial server that
// carries the controller's serial port over raw TCP (not Telnet, not RFC 2217: the bytes as they
// are, FF included). Either opens, sends, hands on what the controller sends, closes, and tells
// when it went away and when it is back. A device that went away is tried again on its owner's
// tick; a serial server that went away, or never answered, is tried again on a back-off of its
// own (250 ms, doubling to 2 s), and its loss is told once per outage. The port entries that
// name a serial server ("tcp:HOST:PORT") are read and written here.
// Collaborations: relay/controller_link owns one of each and talks through the one in use;
// ISerialLine carries a device, INetwork's IStreamLink a serial server; ITimers and IClock time
// the back-off.
#pragma once

#include "ports/clock.h"
#include "ports/network.h"
#include "ports/serial_line.h"
#include "ports/timers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro {

// "tcp:192.168.1.50:4001", "tcp:[2001:db8::5]:4001", "tcp:tower.example:10001".
inline constexpr std::string_view ServerEntryPrefix = "tcp:";
// Whether a port entry names a serial server (the prefix in any case, blanks before it).
bool isServerEntry(std::string_view entry);
// The address of a serial server's entry; nothing, with *why set, when it names none.
std::optional<NetAddress> parseServerEntry(std::string_view entry, std::string* why);
std::string serverEntry(const NetAddress& address);

class ControllerPort {
public:
    enum class State {
        Closed,
        Opening, // connecting to a serial server for the first time since open()
        Open,
        Lost, // went away (or never answered): tried again until it is back
    };
    struct Loss {
        std::string reason;  // a serial server's, in plain words; empty for a device
        bool wasOpen = true; // false: a serial server that has not answered since open()
        bool tell = true;    // the first loss of an outage; later ones are not told again
    };
    // Each runs from the event loop (a device's first open excepted: open() returns instead).
    struct Handlers {
        std::function<void(std::string_view bytes)> received;
        std::function<void()> opened; // a serial server answered, or a lost port is back
        std::function<void(const Loss&)> lost;
    };

    virtual ~ControllerPort() = default;
    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    // A device opens at once at the baud rate, or raises PortError and stays closed. A serial
    // server starts connecting and returns (its own baud rate is set on the server).
    virtual void open(int baud) = 0;
    // Lets go; nothing is told afterwards until the next open.
    virtual void close() = 0;
    virtual State state() const = 0;
    bool isOpen() const { return state() == State::Open; }
    // True when the bytes went out. False when the port is not open, or a write found it gone
    // (which tells the loss). Raises PortError when a write failed on a port still open.
    virtual bool send(const std::string& bytes) = 0;

protected:
    void tellReceived(std::string_view bytes) const;
    void tellOpened() const;
    void tellLost(const Loss& loss) const;

private:
    Handlers handlers_;
};

class SerialControllerPort final : public ControllerPort {
public:
    // Takes the line's receive and lost handlers for its life.
    explicit SerialControllerPort(ISerialLine& line);
    ~SerialControllerPort() override;
    SerialControllerPort(const SerialControllerPort&) = delete;
    SerialControllerPort& operator=(const SerialControllerPort&) = delete;

    // The port number the next open opens.
    void setNumber(int number) { number_ = number; }
    void open(int baud) override;
    void close() override;
    State state() const override;
    bool send(const std::string& bytes) override;
    // While lost: one attempt to open the device again; tells opened once it is back.
    void retry(int baud);

private:
    void lose();

    ISerialLine& line_;
    int number_ = 1;
    bool wanted_ = false; // opened and not let go of since
    bool lost_ = false;
};

class ServerControllerPort final : public ControllerPort {
public:
    static constexpr int FirstRetryMs = 250;
    static constexpr int MaxRetryMs = 2000;
    // A connection that lasted this long ends its outage: its loss is told, and the back-off
    // starts again from FirstRetryMs. A server that accepts and drops at once is not told about
    // on every connection, and is not tried more often than every MaxRetryMs.
    static constexpr int SteadyMs = 2000;

    ServerControllerPort(INetwork& network, ITimers& timers, IClock& clock);
    ~ServerControllerPort() override;
    ServerControllerPort(const ServerControllerPort&) = delete;
    ServerControllerPort& operator=(const ServerControllerPort&) = delete;

    // The server the next open connects to.
    void setAddress(const NetAddress& address) { address_ = address; }
    const NetAddress& address() const { return address_; }
    void open(int baud) override;
    void close() override;
    State state() const override { return state_; }
    bool send(const std::string& bytes) override;

private:
    void connect();
    void connected();
    void ended(const std::string& reason);

    INetwork& network_;
    IClock& clock_;
    std::unique_ptr<IStreamLink> link_; // made at the first open
    std::unique_ptr<ITimer> retryTimer_;
    NetAddress address_;
    State state_ = State::Closed;
    int nextDelayMs_ = FirstRetryMs;
    std::int64_t openedAtMs_ = 0;
    bool told_ = false;       // the outage under way has been told
    bool connecting_ = false; // a connection under way or made: its end is awaited
};

} // namespace veltaro
