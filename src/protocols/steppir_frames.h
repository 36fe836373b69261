// Responsibilities: the frames of the antenna controller's computer port (Data Out), apart from
// any transport: the set frame (frequency in 10 Hz units, direction, command), the status
// request, and the status replies found in the bytes that come back: framed by their length
// from "@A" (40 41), never by CR, since frequency bytes may be 0D or FF; resynchronised after
// junk; holding a bounded number of bytes whatever comes.
// Collaborations: relay/antenna builds its frames here and feeds the controller's bytes to a
// StatusDecoder; the fuzz target feeds anything; tools/steppir_sim reads set frames with
// decodeSetFrame and answers with encodeStatus.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace veltaro::steppir {

inline constexpr std::size_t FrameBytes = 11;
// The largest frequency a frame holds: 24 bits of 10 Hz.
inline constexpr std::int64_t MaxHz = 0xFFFFFF * 10LL;

// The element direction, as the set frame's byte 7 and the status's top three bits give it.
enum class Direction : std::uint8_t {
    Normal = 0x00,
    Reverse = 0x40,
    BiDir = 0x80,
    ThreeQuarter = 0x20
};

enum class Command : std::uint8_t {
    Set = 0x31,          // '1': set frequency and direction
    AutotrackOn = 0x52,  // 'R'
    AutotrackOff = 0x55, // 'U'
    Home = 0x53,         // 'S': retract
    Calibrate = 0x56,    // 'V'
};

// The set frame: "@A", 00, the frequency rounded to 10 Hz as 24-bit big-endian, 00, the
// direction, the command, 00, CR. Nothing for a frequency below 0 or above MaxHz.
std::optional<std::string> encodeSetFrame(std::int64_t hz, Direction direction,
                                          Command command = Command::Set);
// "?A" CR.
std::string statusRequest();

// A set frame as the controller reads it.
struct SetFrame {
    std::int64_t hz = 0;
    std::uint8_t directionByte = 0;
    std::uint8_t command = 0; // a Command's byte, or whatever came
};
// Reads the 11 bytes of a set frame ("@A" ... CR); nothing for anything else.
std::optional<SetFrame> decodeSetFrame(std::string_view frame);

// One status reply.
struct Status {
    // The controller is busy (byte AC is FF: a command just received, or its setup menu): no
    // other field can be trusted.
    bool busy = false;
    std::int64_t hz = 0;                // the frequency the elements are set to
    bool motorsRunning = false;         // AC non-zero
    std::uint8_t motorBits = 0;         // AC as it came
    std::optional<Direction> direction; // nothing: an unknown direction
    std::uint8_t directionByte = 0;     // DIR as it came
    bool autotrack = false;             // DIR bit 04
    std::string version;                // V1 V2
};

// Encodes a reply as the controller sends it (for simulators and tests): AC is motorBits, or
// FF when busy; DIR is directionByte when it is not 00 (a decoded reply's byte comes back as
// it was), else the direction's byte with the autotrack bit. The frequency is rounded to 10 Hz
// and held to 0..MaxHz; the version is padded with blanks to two characters.
std::string encodeStatus(const Status& status);

// Finds the status replies in the bytes a controller sends, in any pieces. A frame is the 11
// bytes from "@A" whose third is 00 and whose last is CR; a candidate that is not is dropped up
// to the next "@A".
// A caller that takes every reply (feed, then next until nothing) leaves at most
// FrameBytes - 1 bytes held; one that does not still holds no more than MaxHeldBytes: on a
// flood, the oldest bytes go first.
class StatusDecoder {
public:
    static constexpr std::size_t MaxHeldBytes = 64 * FrameBytes;

    // Takes bytes; returns the first complete reply found, if any, keeping the rest for next().
    std::optional<Status> feed(std::string_view bytes);
    // A further reply already held, if any.
    std::optional<Status> next();
    // Bytes dropped as junk (or to keep within MaxHeldBytes) since the decoder was made.
    std::uint64_t dropped() const { return dropped_; }
    // Bytes held for a reply still to come.
    std::size_t held() const { return held_.size() - start_; }
    void reset();

private:
    void drop(std::size_t count);

    std::string held_;      // bytes from start_ on are still to be read
    std::size_t start_ = 0; // read position in held_
    std::uint64_t dropped_ = 0;
};

} // namespace veltaro::steppir
