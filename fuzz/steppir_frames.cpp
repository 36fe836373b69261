// The antenna controller's replies: any bytes, in any pieces, give only replies that were in
// them, in their order, re-encoding to the bytes they came from; every byte is taken, dropped or
// held, and what is held stays bounded. Taken as they come, the replies are those a plain scan of
// the whole input finds; frames made with junk between them all come back.
//
// The input: a byte of flags (bits 0-5 seed the pieces' sizes, 1 to 64 bytes; bit 6: make
// frames from the payload; bit 7: leave the replies beyond the first of each piece untaken until
// the end, so that the decoder's bound comes into play), then the payload.
#include "fuzz_support.h"

#include "protocols/steppir_frames.h"

using namespace veltaro;
using namespace veltaro::fuzz;
using steppir::FrameBytes;
using steppir::StatusDecoder;

namespace {

// The frames a whole-input scan finds: 11 bytes from "@A" 00 whose last is CR, taken in turn.
std::vector<std::string> plainScan(std::string_view in) {
    std::vector<std::string> frames;
    for (std::size_t i = 0; i + FrameBytes <= in.size();) {
        const auto candidate = in.substr(i, FrameBytes);
        if (candidate.starts_with("@A") && candidate[2] == '\0' && candidate.back() == '\r') {
            frames.emplace_back(candidate);
            i += FrameBytes;
        } else {
            ++i;
        }
    }
    return frames;
}

// Frames from the payload, each followed by up to 15 bytes of junk without '@'.
std::pair<std::string, std::vector<std::string>> madeFrames(std::string_view in) {
    std::string stream;
    std::vector<std::string> frames;
    while (!in.empty()) {
        std::string frame = "@A";
        frame += '\0';
        for (int i = 0; i < 7; ++i)
            frame += static_cast<char>(take<std::uint8_t>(in));
        frame += '\r';
        std::string junk(in.substr(0, take<std::uint8_t>(in) % 16));
        in.remove_prefix(junk.size());
        std::replace(junk.begin(), junk.end(), '@', '#');
        stream += frame + junk;
        frames.push_back(std::move(frame));
    }
    return {stream, frames};
}

struct Run {
    std::vector<std::string> replies; // re-encoded
    std::size_t fed = 0;
};

void takeAll(StatusDecoder& decoder, std::optional<steppir::Status> status, Run& run) {
    for (; status; status = decoder.next())
        run.replies.push_back(steppir::encodeStatus(*status));
}

Run decode(std::string_view in, std::uint8_t flags) {
    StatusDecoder decoder;
    Run run;
    const bool untaken = flags & 0x80;
    std::uint32_t seed = flags & 0x3F;
    for (std::size_t at = 0; at < in.size();) {
        seed = seed * 1103515245u + 12345u;
        const auto piece = in.substr(at, 1 + (seed >> 16) % 64);
        at += piece.size();
        run.fed += piece.size();
        const auto first = decoder.feed(piece);
        FUZZ_CHECK(decoder.held() <= StatusDecoder::MaxHeldBytes,
                   std::to_string(decoder.held()) + " held after " + show(in.substr(0, at)));
        if (untaken) {
            if (first)
                run.replies.push_back(steppir::encodeStatus(*first));
            continue;
        }
        takeAll(decoder, first, run);
        FUZZ_CHECK(decoder.held() < FrameBytes,
                   std::to_string(decoder.held()) + " held after " + show(in.substr(0, at)));
    }
    takeAll(decoder, decoder.next(), run);
    FUZZ_CHECK(decoder.held() < FrameBytes, show(in));
    FUZZ_CHECK(decoder.dropped() + FrameBytes * run.replies.size() + decoder.held() == run.fed,
               show(in) + ": " + std::to_string(decoder.dropped()) + " dropped, " +
                   std::to_string(run.replies.size()) + " replies, " +
                   std::to_string(decoder.held()) + " held");
    return run;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeInput(data, size);
    if (!in)
        return 0;
    const auto [stream, made] = in->flags & 0x40
                                    ? madeFrames(in->rest)
                                    : std::pair{std::string(in->rest), std::vector<std::string>{}};
    const Run run = decode(stream, in->flags);
    std::size_t from = 0;
    for (const auto& reply : run.replies) {
        FUZZ_CHECK(reply.size() == FrameBytes && reply.starts_with("@A") && reply.back() == '\r',
                   show(reply));
        const auto at = stream.find(reply, from);
        FUZZ_CHECK(at != stream.npos, show(reply) + " not in order in " + show(stream));
        from = at + FrameBytes;
    }
    if (!(in->flags & 0x80))
        FUZZ_CHECK(run.replies == plainScan(stream), show(stream));
    if ((in->flags & 0xC0) == 0x40)
        FUZZ_CHECK(run.replies == made, show(stream));
    return 0;
}
