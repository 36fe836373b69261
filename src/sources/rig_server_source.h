// Responsibilities: what the sources that poll a rig server over TCP (rigctld, flrig) share:
// connecting to the address stored at each start, asking on the poll timer's ticks with at most
// one request waiting for its reply, counting a server silent for SilentMs (or a connection not
// made in that time) as lost, telling the link's state with the reason in plain words, a server
// that answers the frequency question with an error (not linked, the connection kept, linked
// again by the next good reading), and telling once per tick of the box that the rig cannot
// tell its split state and the dial is followed. Reconnection after a loss is the selector's
// (it restarts the source after its back-off).
// Collaborations: RigctldSource and FlrigSource speak their protocols over it; platform/network
// gives the connection; the clock measures the silence.
#pragma once

#include "ports/clock.h"
#include "ports/network.h"
#include "sources/frequency_source.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace veltaro {

// The address a network source links to, looked up at each start.
using NetAddressSource = std::function<NetAddress()>;

class RigServerSource : public FrequencySource {
public:
    static constexpr std::int64_t SilentMs = 3000;

    // name: the source as the user knows it ("Hamlib", "flrig").
    RigServerSource(INetwork& network, IClock& clock, NetAddressSource address, std::string name);

    void start() override;
    void stop() override;
    void close() override { stop(); }
    bool linksLater() const override { return true; }
    // A server that answers with an error stays connected and is asked again at each round.
    bool recoversByItself() const override { return state_ != State::Idle; }
    std::string place() const override;
    bool polled() const override { return true; }
    // Starts a round of requests when none is waiting; counts the silence otherwise.
    void poll() override;
    // Why the link was last lost ("no answer within 3 s", "no transceiver", the platform's
    // reason).
    const std::string& lossReason() const { return lossReason_; }

protected:
    // The connection is up (again): the protocol starts afresh.
    virtual void onConnected() = 0;
    // The first request of a round.
    virtual void beginRound() = 0;
    virtual void onBytes(std::string_view bytes) = 0;
    // The server ended the connection: by default, a lost link.
    virtual void onClosed(const std::string& reason) { drop(reason); }

    // Sends a request; the silence is counted until replied().
    void send(std::string_view bytes);
    void replied() { waiting_ = false; }
    bool waiting() const { return waiting_; }
    // The reading of a good reply; the first one links.
    void reading(std::int64_t hz);
    // Links without a reading (the server answered that a radio is there).
    void markLinked();
    // The server answered the frequency question with an error: not linked, for that reason,
    // until the next good reading. The connection stays and the rounds go on.
    void refused(const std::string& reason);
    // Ends the connection and tells the loss; nothing more happens until the next start.
    void drop(const std::string& reason);
    // Connects again without telling a loss (a server that closes after each reply).
    void reconnect();
    // Told once per tick of the box: the rig cannot tell its split state (why, in plain words),
    // so the dial is followed for the rest of the connection.
    void splitUnreadable(const std::string& why);
    bool connected() const { return state_ == State::Connected; }
    std::int64_t now() const { return clock_.nowMs(); }

private:
    enum class State { Idle, Connecting, Connected };

    void connect();

    INetwork& network_;
    IClock& clock_;
    NetAddressSource address_;
    std::string name_;
    std::unique_ptr<IStreamLink> link_;
    NetAddress current_;
    State state_ = State::Idle;
    bool linked_ = false;
    bool waiting_ = false;
    bool toldDial_ = false;
    bool refusedTold_ = false; // refused() told the loss; the same reason again is not
    std::int64_t since_ = 0;   // of the connect, or of the request or its latest bytes
    std::string lossReason_;
};

} // namespace veltaro
