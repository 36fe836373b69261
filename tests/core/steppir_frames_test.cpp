// The antenna controller's frames: the set frame's bytes, and status replies found by their
// length in bytes that come in any pieces, with junk, short frames and floods among them.
#include "protocols/steppir_frames.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace veltaro::steppir;
using namespace std::string_literals;

namespace {

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (const int v : values)
        s += static_cast<char>(v);
    return s;
}

std::string hex(std::string_view s) {
    std::string out;
    for (const unsigned char c : s) {
        char buf[4];
        std::snprintf(buf, sizeof buf, "%02X ", c);
        out += buf;
    }
    return out;
}

// A status reply: frequency bytes, AC, DIR, version "12".
std::string reply(int f2, int f1, int f0, int ac = 0, int dir = 0) {
    return bytes({0x40, 0x41, 0x00, f2, f1, f0, ac, dir, '1', '2', 0x0D});
}

TEST(SteppirSetFrame, BytesForFrequencyDirectionAndCommand) {
    struct Case {
        std::int64_t hz;
        Direction direction;
        Command command;
        std::string frame;
    } cases[] = {
        {14074000, Direction::Normal, Command::Set,
         bytes({0x40, 0x41, 0x00, 0x15, 0x79, 0xA8, 0x00, 0x00, 0x31, 0x00, 0x0D})},
        // Rounded to 10 Hz, halves up.
        {14074004, Direction::Normal, Command::Set,
         bytes({0x40, 0x41, 0x00, 0x15, 0x79, 0xA8, 0x00, 0x00, 0x31, 0x00, 0x0D})},
        {14074005, Direction::Normal, Command::Set,
         bytes({0x40, 0x41, 0x00, 0x15, 0x79, 0xA9, 0x00, 0x00, 0x31, 0x00, 0x0D})},
        // Frequency bytes that are CR or FF go out as they are.
        {7243000, Direction::Reverse, Command::Set,
         bytes({0x40, 0x41, 0x00, 0x0B, 0x0D, 0x4C, 0x00, 0x40, 0x31, 0x00, 0x0D})},
        {7207000, Direction::BiDir, Command::Set,
         bytes({0x40, 0x41, 0x00, 0x0A, 0xFF, 0x3C, 0x00, 0x80, 0x31, 0x00, 0x0D})},
        {0, Direction::ThreeQuarter, Command::AutotrackOn,
         bytes({0x40, 0x41, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x52, 0x00, 0x0D})},
        {MaxHz, Direction::Normal, Command::Home,
         bytes({0x40, 0x41, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x53, 0x00, 0x0D})},
    };
    for (const auto& c : cases) {
        const auto frame = encodeSetFrame(c.hz, c.direction, c.command);
        ASSERT_TRUE(frame) << c.hz;
        EXPECT_EQ(hex(*frame), hex(c.frame)) << c.hz;
        const auto read = decodeSetFrame(*frame);
        ASSERT_TRUE(read) << c.hz;
        EXPECT_EQ(read->hz, (c.hz + 5) / 10 * 10);
        EXPECT_EQ(read->directionByte, static_cast<std::uint8_t>(c.direction));
        EXPECT_EQ(read->command, static_cast<std::uint8_t>(c.command));
    }
    for (const std::int64_t hz : {std::int64_t{-1}, MaxHz + 1, std::int64_t{1} << 62})
        EXPECT_EQ(encodeSetFrame(hz, Direction::Normal), std::nullopt) << hz;
    EXPECT_EQ(decodeSetFrame(statusRequest()), std::nullopt);
    const std::string good = *encodeSetFrame(14074000, Direction::Normal);
    for (const std::string& bad :
         {good.substr(0, 10), good.substr(0, 10) + "x", good + "\r", "?A" + good.substr(2)})
        EXPECT_EQ(decodeSetFrame(bad), std::nullopt) << hex(bad);
}

TEST(SteppirStatus, FieldsOfOneReply) {
    struct Case {
        std::string frame;
        std::int64_t hz;
        bool busy, running, autotrack;
        std::optional<Direction> direction;
    } cases[] = {
        {reply(0x15, 0x79, 0xA8), 14074000, false, false, false, Direction::Normal},
        {reply(0x0B, 0x0D, 0x4C, 0x0F, 0x40), 7243000, false, true, false, Direction::Reverse},
        {reply(0x0A, 0xFF, 0x3C, 0x01, 0x84), 7207000, false, true, true, Direction::BiDir},
        {reply(0x0D, 0x0D, 0x0D, 0x00, 0x20), 8553090, false, false, false,
         Direction::ThreeQuarter},
        // FF: just told something, or in its setup menu.
        {reply(0x15, 0x79, 0xA8, 0xFF), 14074000, true, true, false, Direction::Normal},
        // Directions outside the four known come back unknown, their byte kept.
        {reply(0x15, 0x79, 0xA8, 0, 0x60), 14074000, false, false, false, std::nullopt},
        {reply(0x15, 0x79, 0xA8, 0, 0xE4), 14074000, false, false, true, std::nullopt},
    };
    for (const auto& c : cases) {
        StatusDecoder decoder;
        const auto status = decoder.feed(c.frame);
        ASSERT_TRUE(status) << hex(c.frame);
        EXPECT_EQ(status->hz, c.hz) << hex(c.frame);
        EXPECT_EQ(status->busy, c.busy) << hex(c.frame);
        EXPECT_EQ(status->motorsRunning, c.running) << hex(c.frame);
        EXPECT_EQ(status->motorBits, static_cast<std::uint8_t>(c.frame[6])) << hex(c.frame);
        EXPECT_EQ(status->direction, c.direction) << hex(c.frame);
        EXPECT_EQ(status->directionByte, static_cast<std::uint8_t>(c.frame[7])) << hex(c.frame);
        EXPECT_EQ(status->autotrack, c.autotrack) << hex(c.frame);
        EXPECT_EQ(status->version, "12");
        // What a simulator sends for it is the frame itself.
        EXPECT_EQ(hex(encodeStatus(*status)), hex(c.frame));
        EXPECT_EQ(decoder.held(), 0u);
    }
}

// Every reply of a stream with junk, short frames and CRs about, fed in pieces of each size.
TEST(SteppirStatus, RepliesInPiecesAmongJunk) {
    const std::string first = reply(0x0B, 0x0D, 0x4C), second = reply(0x0A, 0xFF, 0x3C, 0x0F),
                      third = reply(0x15, 0x79, 0xA8, 0xFF);
    const std::string stream =
        "\r\r\xFF junk @" + first +
        // a short frame, then one cut by junk: each dropped up to the next "@A"
        bytes({0x40, 0x41, 0x0D}) + bytes({0x40, 0x41, 0x00, 0x15}) + "noise\r" + second +
        // "@A" then another "@A" inside what would be its 11 bytes
        "@A\x00\x15@"s + third + "@A\x00"s;
    const std::vector<std::int64_t> expected = {7243000, 7207000, 14074000};
    for (std::size_t piece = 1; piece <= stream.size(); ++piece) {
        StatusDecoder decoder;
        std::vector<std::int64_t> found;
        for (std::size_t at = 0; at < stream.size(); at += piece)
            for (auto s = decoder.feed(std::string_view(stream).substr(at, piece)); s;
                 s = decoder.next())
                found.push_back(s->hz);
        EXPECT_EQ(found, expected) << "pieces of " << piece;
        // The trailing "@A" 00 waits for the rest of its frame; all else before it was junk.
        EXPECT_EQ(decoder.held(), 3u) << "pieces of " << piece;
        EXPECT_EQ(decoder.dropped(), stream.size() - 3 * FrameBytes - 3) << "pieces of " << piece;
    }
}

// Floods of junk, of replies nobody takes, and of lone '@': the decoder holds a bounded number
// of bytes, and the newest reply is still found.
TEST(SteppirStatus, FloodsHoldBoundedBytes) {
    const std::string junk(4096, '@'), frames = [] {
        std::string s;
        while (s.size() < 4096)
            s += reply(0x15, 0x79, 0xA8) + "x";
        return s;
    }();
    for (const std::string* chunk : {&junk, &frames}) {
        StatusDecoder decoder;
        for (int i = 0; i < 256; ++i) {
            decoder.feed(*chunk); // replies left untaken
            ASSERT_LE(decoder.held(), StatusDecoder::MaxHeldBytes);
        }
        while (decoder.next()) {
        }
        EXPECT_LT(decoder.held(), FrameBytes);
        const auto newest = decoder.feed(reply(0x0B, 0x0D, 0x4C));
        ASSERT_TRUE(newest);
        EXPECT_EQ(newest->hz, 7243000);
    }
    StatusDecoder decoder;
    EXPECT_FALSE(decoder.feed(std::string(1 << 20, '@') + "@A\x00"s));
    EXPECT_EQ(decoder.held(), 3u);
    decoder.reset();
    EXPECT_EQ(decoder.held(), 0u);
}

} // namespace
