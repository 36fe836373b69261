// Responsibilities: the state feed for other programs on the station (loggers, amplifier and
// rotator tools, dashboards): what is known of the radio, the relay, the antenna, the transmit
// interlock and the source, as a small JSON object (docs/feed.md) in a UDP datagram, sent at
// once on every change and again at the latest 10 s after the one before. It never blocks and
// never queues: a datagram the system does not take is dropped, and the failure is told once,
// and again only after a send succeeded in between. Every datagram, sent or dropped, has the
// next sequence number, from 1, for as long as the feed lives: closing and opening it again
// (another address) goes on counting.
// Collaborations: the relay session keeps one for the program's life, makes its sender through
// INetwork, opens it at the address the settings give ([Feed] Address) and hands it a
// FeedSnapshot whenever what it observes changes; ITimers runs the repeat; the notices go to the
// session's NoticeSink.
#pragma once

#include "app/source_selector.h"
#include "base/notice.h"
#include "ports/network.h"
#include "ports/timers.h"
#include "protocols/steppir_frames.h"
#include "relay/antenna.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace veltaro {

// What the feed tells, as the session knows it at one moment.
struct FeedSnapshot {
    std::optional<std::int64_t> radioHz;   // the radio's frequency last read; nothing: none yet
    std::optional<std::int64_t> relayedHz; // the frequency last relayed; nothing: none yet
    std::string relayedMHz;                // the same as PEGASUS.OUT holds it ("14.074000")
    AntennaStatus::State antennaState = AntennaStatus::State::NoFeedback;
    std::optional<std::int64_t> antennaHz;              // where the elements are set
    std::optional<steppir::Direction> antennaDirection; // nothing: unknown
    // The transmit interlock: "off", "permitted", "inhibited" or "failed", and why it is
    // inhibited or failed ("moving", "cannot open COM 7"); empty: no reason.
    std::string interlock = "off";
    std::string interlockReason;
    std::string source; // the chosen source's name ("Hamlib"); empty: none chosen
    LinkState link = LinkState::Unlinked;
    std::string linkReason; // why it is lost or failed; empty: no reason

    bool operator==(const FeedSnapshot&) const = default;
};

// The datagram's text: one JSON object, on one line.
std::string feedJson(const FeedSnapshot& snapshot, std::uint64_t sequence);

class StateFeed {
public:
    static constexpr int RepeatMs = 10000;

    StateFeed(std::unique_ptr<IDatagramSender> sender, ITimers& timers, NoticeSink notices);
    ~StateFeed();
    StateFeed(const StateFeed&) = delete;
    StateFeed& operator=(const StateFeed&) = delete;

    // Sends to the address from now on, starting with the current snapshot. False, with the
    // user told why, when the address cannot be sent to: the feed is closed then.
    bool open(const NetAddress& to);
    // Stops sending; the snapshot and the sequence are kept.
    void close();
    bool isOpen() const { return open_; }

    // The state now: sent at once when it differs from the one before and the feed is open.
    void update(const FeedSnapshot& snapshot);
    const FeedSnapshot& snapshot() const { return snapshot_; }
    // The number the last datagram had; 0 before the first.
    std::uint64_t sequence() const { return sequence_; }

private:
    void send();

    std::unique_ptr<IDatagramSender> sender_;
    std::unique_ptr<ITimer> repeat_;
    NoticeSink notices_;
    FeedSnapshot snapshot_;
    NetAddress to_;
    std::uint64_t sequence_ = 0;
    bool open_ = false;
    bool failureTold_ = false;
};

} // namespace veltaro
