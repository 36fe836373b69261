#include "protocols/steppir_frames.h"

#include <algorithm>

namespace veltaro::steppir {

namespace {

constexpr char Cr = '\r';
constexpr std::string_view Start = "@A";
constexpr std::uint8_t BusyByte = 0xFF;
constexpr std::uint8_t DirectionBits = 0xE0;
constexpr std::uint8_t AutotrackBit = 0x04;

std::uint8_t byteAt(std::string_view s, std::size_t i) {
    return static_cast<std::uint8_t>(s[i]);
}

// The frequency field: 10 Hz units, 24-bit big-endian from byte 3.
void putUnits(std::string& frame, std::int64_t units) {
    frame[3] = static_cast<char>((units >> 16) & 0xFF);
    frame[4] = static_cast<char>((units >> 8) & 0xFF);
    frame[5] = static_cast<char>(units & 0xFF);
}
std::int64_t hzAt(std::string_view frame) {
    return 10 *
           ((std::int64_t{byteAt(frame, 3)} << 16) | (byteAt(frame, 4) << 8) | byteAt(frame, 5));
}

std::string emptyFrame() {
    std::string frame(FrameBytes, '\0');
    frame.replace(0, Start.size(), Start);
    frame[FrameBytes - 1] = Cr;
    return frame;
}

std::optional<Direction> knownDirection(std::uint8_t directionByte) {
    switch (directionByte & DirectionBits) {
    case 0x00:
        return Direction::Normal;
    case 0x20:
        return Direction::ThreeQuarter;
    case 0x40:
        return Direction::Reverse;
    case 0x80:
        return Direction::BiDir;
    default:
        return std::nullopt;
    }
}

Status decodeStatus(std::string_view frame) {
    Status status;
    status.motorBits = byteAt(frame, 6);
    status.busy = status.motorBits == BusyByte;
    status.motorsRunning = status.motorBits != 0;
    status.hz = hzAt(frame);
    status.directionByte = byteAt(frame, 7);
    status.direction = knownDirection(status.directionByte);
    status.autotrack = (status.directionByte & AutotrackBit) != 0;
    status.version = std::string(frame.substr(8, 2));
    return status;
}

} // namespace

std::optional<std::string> encodeSetFrame(std::int64_t hz, Direction direction, Command command) {
    if (hz < 0 || hz > MaxHz)
        return std::nullopt;
    std::string frame = emptyFrame();
    putUnits(frame, (hz + 5) / 10);
    frame[7] = static_cast<char>(direction);
    frame[8] = static_cast<char>(command);
    return frame;
}

std::string statusRequest() {
    return "?A\r";
}

std::optional<SetFrame> decodeSetFrame(std::string_view frame) {
    if (frame.size() != FrameBytes || !frame.starts_with(Start) || frame.back() != Cr)
        return std::nullopt;
    return SetFrame{hzAt(frame), byteAt(frame, 7), byteAt(frame, 8)};
}

std::string encodeStatus(const Status& status) {
    std::string frame = emptyFrame();
    putUnits(frame, (std::clamp<std::int64_t>(status.hz, 0, MaxHz) + 5) / 10);
    frame[6] = static_cast<char>(status.busy ? BusyByte : status.motorBits);
    std::uint8_t directionByte = status.directionByte;
    if (directionByte == 0)
        directionByte = static_cast<std::uint8_t>(status.direction.value_or(Direction::Normal)) |
                        (status.autotrack ? AutotrackBit : 0);
    frame[7] = static_cast<char>(directionByte);
    const std::string version = (status.version + "  ").substr(0, 2);
    frame.replace(8, 2, version);
    return frame;
}

std::optional<Status> StatusDecoder::feed(std::string_view bytes) {
    held_.erase(0, start_);
    start_ = 0;
    // Past MaxHeldBytes, the oldest bytes go: first those held, then the front of these.
    const std::size_t total = held_.size() + bytes.size();
    if (total > MaxHeldBytes) {
        const std::size_t excess = total - MaxHeldBytes;
        const std::size_t fromHeld = std::min(excess, held_.size());
        held_.erase(0, fromHeld);
        bytes.remove_prefix(excess - fromHeld);
        dropped_ += excess;
    }
    held_.append(bytes);
    return next();
}

std::optional<Status> StatusDecoder::next() {
    for (;;) {
        const std::string_view rest = std::string_view(held_).substr(start_);
        const auto at = rest.find(Start);
        if (at == rest.npos) {
            // A last '@' may begin the next frame.
            drop(rest.size() - (rest.ends_with(Start[0]) ? 1 : 0));
            return std::nullopt;
        }
        drop(at);
        if (rest.size() - at < FrameBytes)
            return std::nullopt;
        const std::string_view frame = rest.substr(at, FrameBytes);
        if (frame[2] == '\0' && frame.back() == Cr) {
            start_ += FrameBytes;
            return decodeStatus(frame);
        }
        drop(1); // and on to the next "@A", which may lie inside this candidate
    }
}

void StatusDecoder::reset() {
    dropped_ += held();
    held_.clear();
    start_ = 0;
}

void StatusDecoder::drop(std::size_t count) {
    start_ += count;
    dropped_ += count;
}

} // namespace veltaro::steppir
