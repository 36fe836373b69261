#include "app/state_feed.h"

#include "base/errors.h"
#include "base/identity.h"
#include "protocols/net_address.h"

#include <cstdio>
#include <string_view>

namespace veltaro {

namespace {

// The length of the well-formed UTF-8 sequence at s[i] (1 to 4), or 0 when there is none.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2;
    else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF; // nothing above U+10FFFF
    }
    if (length == 0 || i + length > s.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 0;
    for (std::size_t k = i + 2; k < i + length; ++k)
        if (byte(k) < 0x80 || byte(k) > 0xBF)
            return 0;
    return length;
}

// A JSON string: quotes, backslashes and control characters escaped; a byte that is no part of
// well-formed UTF-8 (a platform's text in another code page, say) becomes U+FFFD, so that the
// object stays valid for any parser.
void appendString(std::string& out, std::string_view s) {
    out += '"';
    for (std::size_t i = 0; i < s.size();) {
        const char c = s[i];
        const std::size_t length = utf8Length(s, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x",
                          static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += escaped;
        } else {
            out.append(s.substr(i, length));
        }
        i += length;
    }
    out += '"';
}

// An empty text is null: nothing to tell.
void appendOptional(std::string& out, const std::string& s) {
    if (s.empty())
        out += "null";
    else
        appendString(out, s);
}

void appendNumber(std::string& out, const std::optional<std::int64_t>& n) {
    out += n ? std::to_string(*n) : "null";
}

const char* antennaStateText(AntennaStatus::State s) {
    switch (s) {
    case AntennaStatus::State::NoFeedback:
        return "no feedback";
    case AntennaStatus::State::Unknown:
        return "unknown";
    case AntennaStatus::State::Moving:
        return "moving";
    case AntennaStatus::State::Tuned:
        return "tuned";
    case AntennaStatus::State::NotAnswering:
        return "not answering";
    }
    return "unknown";
}

// As the settings write the direction.
std::string directionText(const std::optional<steppir::Direction>& d) {
    if (!d)
        return {};
    switch (*d) {
    case steppir::Direction::Normal:
        return "Normal";
    case steppir::Direction::Reverse:
        return "180";
    case steppir::Direction::BiDir:
        return "BiDir";
    case steppir::Direction::ThreeQuarter:
        return "3/4";
    }
    return {};
}

const char* linkText(LinkState s) {
    switch (s) {
    case LinkState::Unlinked:
        return "unlinked";
    case LinkState::Linking:
        return "linking";
    case LinkState::Linked:
        return "linked";
    case LinkState::Lost:
        return "lost";
    case LinkState::Failed:
        return "failed";
    }
    return "unlinked";
}

} // namespace

std::string feedJson(const FeedSnapshot& s, std::uint64_t sequence) {
    std::string out = "{\"program\":";
    appendString(out, app::Title);
    out += ",\"version\":";
    appendString(out, app::VersionText);
    out += ",\"sequence\":" + std::to_string(sequence) + ",\"radioHz\":";
    appendNumber(out, s.radioHz);
    out += ",\"relayedHz\":";
    appendNumber(out, s.relayedHz);
    out += ",\"relayedMHz\":";
    appendOptional(out, s.relayedMHz);
    out += ",\"antennaState\":";
    appendString(out, antennaStateText(s.antennaState));
    out += ",\"antennaHz\":";
    appendNumber(out, s.antennaHz);
    out += ",\"antennaDirection\":";
    appendOptional(out, directionText(s.antennaDirection));
    out += ",\"interlock\":";
    appendString(out, s.interlock);
    out += ",\"interlockReason\":";
    appendOptional(out, s.interlockReason);
    out += ",\"source\":";
    appendOptional(out, s.source);
    out += ",\"link\":";
    appendString(out, linkText(s.link));
    out += ",\"linkReason\":";
    appendOptional(out, s.linkReason);
    out += '}';
    return out;
}

StateFeed::StateFeed(std::unique_ptr<IDatagramSender> sender, ITimers& timers, NoticeSink notices)
    : sender_(std::move(sender)), repeat_(timers.makeTimer([this] { send(); })),
      notices_(std::move(notices)) {}

StateFeed::~StateFeed() {
    close();
}

bool StateFeed::open(const NetAddress& to) {
    close();
    to_ = to;
    try {
        sender_->open(to);
    } catch (const LinkError& e) {
        notices_({"The state feed cannot send to " + formatNetAddress(to) + ": " + e.what(),
                  NoticeTiming::Posted});
        return false;
    }
    open_ = true;
    failureTold_ = false;
    send();
    return true;
}

void StateFeed::close() {
    repeat_->stop();
    if (open_)
        sender_->close();
    open_ = false;
}

void StateFeed::update(const FeedSnapshot& snapshot) {
    if (snapshot == snapshot_)
        return;
    snapshot_ = snapshot;
    if (open_)
        send();
}

void StateFeed::send() {
    std::string why;
    if (sender_->send(feedJson(snapshot_, ++sequence_), why)) {
        failureTold_ = false;
    } else if (!failureTold_) {
        failureTold_ = true;
        notices_({"The state feed could not send to " + formatNetAddress(to_) + ": " + why,
                  NoticeTiming::Posted});
    }
    repeat_->start(RepeatMs); // the next at the latest 10 s from now
}

} // namespace veltaro
