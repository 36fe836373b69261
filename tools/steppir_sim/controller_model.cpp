#include "controller_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veltaro::sim {

namespace {

constexpr std::string_view SetStart = "@A";
constexpr std::string_view StatusAsk = "?A\r";

std::string directionName(std::uint8_t directionByte) {
    switch (directionByte) {
    case 0x00:
        return "normal";
    case 0x40:
        return "180";
    case 0x80:
        return "bidir";
    case 0x20:
        return "3/4";
    default:
        char raw[16];
        std::snprintf(raw, sizeof raw, "direction %02X", directionByte);
        return raw;
    }
}

std::string describe(const steppir::SetFrame& frame) {
    char line[80];
    switch (frame.command) {
    case 0x52:
        return "autotrack on";
    case 0x55:
        return "autotrack off";
    case 0x53:
        return "home";
    case 0x56:
        return "calibrate";
    case 0x31:
    case 0x00:
        std::snprintf(line, sizeof line, "set %.6f MHz ", frame.hz / 1e6);
        return line + directionName(frame.directionByte);
    default:
        std::snprintf(line, sizeof line, "command %02X", frame.command);
        return line;
    }
}

} // namespace

ControllerModel::ControllerModel(const ModelOptions& options,
                                 std::function<void(const std::string&)> log)
    : options_(options), log_(std::move(log)), hz_(static_cast<double>(options.startHz)),
      targetHz_(options.startHz) {}

std::string ControllerModel::receive(std::string_view bytes, Clock::time_point now) {
    pending_.append(bytes);
    std::string out = options_.peer == Peer::Echo ? std::string(bytes) : std::string();
    std::string answer;
    // Requests begin "@A" or "?A"; anything else is passed over a byte at a time.
    while (!pending_.empty()) {
        const auto at = pending_.find_first_of("@?");
        pending_.erase(0, at == std::string::npos ? pending_.size() : at);
        if (pending_.empty())
            break;
        const std::string_view shape = pending_[0] == '@' ? SetStart : StatusAsk;
        const std::size_t size = pending_[0] == '@' ? steppir::FrameBytes : StatusAsk.size();
        const std::string_view head = std::string_view(pending_).substr(0, shape.size());
        if (pending_.size() < size && shape.starts_with(head))
            break; // the rest is still to come
        const std::string_view request = std::string_view(pending_).substr(0, size);
        if (request == StatusAsk) {
            log_("status?");
            answer += (options_.peer == Peer::Junk ? junk() : std::string()) + status(now);
        } else if (const auto frame = steppir::decodeSetFrame(request)) {
            setFrame(*frame, now);
        } else {
            pending_.erase(0, 1);
            continue;
        }
        pending_.erase(0, size);
    }
    return options_.peer == Peer::Proper || options_.peer == Peer::Junk ? out + answer : out;
}

void ControllerModel::setFrame(const steppir::SetFrame& frame, Clock::time_point now) {
    ++setFrames_;
    const bool dropped = setFrames_ <= options_.dropFirst ||
                         (options_.dropEvery > 0 && setFrames_ % options_.dropEvery == 0);
    log_(describe(frame) + (dropped ? " (dropped)" : ""));
    if (dropped)
        return;
    advance(now);
    busyUntil_ = now + BusyTime;
    if (frame.command == 0x52 || frame.command == 0x55) {
        autotrack_ = frame.command == 0x52;
    } else if (frame.command == 0x31 || frame.command == 0x00) {
        targetHz_ = std::clamp<std::int64_t>(frame.hz, 0, steppir::MaxHz);
        directionByte_ = frame.directionByte;
    }
}

bool ControllerModel::advance(Clock::time_point now) {
    const double seconds = std::chrono::duration<double>(now - movedTo_).count();
    movedTo_ = now;
    const double gap = static_cast<double>(targetHz_) - hz_;
    const double step = options_.khzPerS * 1000 * std::max(seconds, 0.0);
    moving_ = std::abs(gap) > step;
    hz_ = moving_ ? hz_ + std::copysign(step, gap) : static_cast<double>(targetHz_);
    return moving_ || now < busyUntil_;
}

std::string ControllerModel::status(Clock::time_point now) {
    advance(now);
    steppir::Status s;
    s.busy = now < busyUntil_;
    s.hz = std::llround(hz_);
    s.motorBits = moving_ ? 0x0F : 0x00; // all four elements move together here
    s.directionByte = directionByte_ | (autotrack_ ? 0x04 : 0x00);
    s.version = "S1";
    return steppir::encodeStatus(s);
}

std::string ControllerModel::junk() {
    // In turn: noise, a reply cut short, a lone "@", a frame whose third byte is wrong.
    static const std::string Pieces[] = {std::string("\x13\xFE garbage\r", 11),
                                         std::string("@A\0\x15\x79", 5), "@",
                                         std::string("@A\x01\x15\x79\xA8\0\0S1\r", 11)};
    return Pieces[junkCount_++ % 4];
}

std::string ControllerModel::floodBlock(Clock::time_point now) {
    return junk() + status(now);
}

} // namespace veltaro::sim
