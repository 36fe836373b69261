// Texts of any kind delivered on the hot link (up to 1 MiB, up to 64 deliveries an input) with
// Commander or HRD ticked, through the main window. Each delivery changes the frequency exactly
// as an independent reading of its text says or, refused, changes nothing; a relay happens
// exactly at 10 kHz or more from the last one; the displays, the command and the file agree with
// the tracker; nothing escapes and the user is told nothing.
//
// The first byte: bit 0 the decimal comma, bit 1 HRD (else Commander), bit 2 no serial port,
// bit 3 deliveries separated by line feeds (else by NUL bytes).
#include "fuzz_support.h"

#include "core/main_rig.h"
#include "platform/errors.h"
#include "relay/convert.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

// The whole kHz and the MHz value of a reading; nothing when the text must be refused.
struct Expected {
    std::int64_t khz;
    double mhz;
};
std::optional<Expected> inRange(double khz, double mhz) {
    if (!(khz >= INT32_MIN && khz <= INT32_MAX))
        return std::nullopt;
    return Expected{static_cast<std::int64_t>(khz), mhz};
}

// HRD: the leading number of the text in Hz, as MHz rounded to 15 significant digits, floored
// to whole kHz; a number beyond the double range is refused. For a text whose blank-free form
// starts with a plain number and holds none of the letters that strtod reads on its own (hex,
// inf, nan) or that the loose reading takes as an exponent ("d"), strtod on the blank-free form
// reads the same leading number.
std::optional<Expected> hrdReading(const std::string& text, const std::string& where) {
    double hz = 0;
    try {
        hz = leadingNumber(text);
    } catch (const OverflowError&) {
        return std::nullopt;
    }
    std::string s(text);
    std::erase_if(s, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    const std::size_t i = s.find_first_of("+-") == 0;
    if (s.find_first_of(std::string("xXdDpP", 7)) == s.npos &&
        s.find_first_of("0123456789.", i) == i) {
        std::setlocale(LC_NUMERIC, "C");
        const double opinion = std::strtod(s.c_str(), nullptr);
        FUZZ_CHECK(std::isinf(opinion) || opinion == hz, where + " read as " + std::to_string(hz));
    }
    const double mhz = roundTo15Digits(hz / 1000000.0);
    return inRange(std::floor(mhz * 1000.0), mhz);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeInput(data, size);
    if (!in)
        return 0;
    const bool hrd = in->flags & 2, portOpen = !(in->flags & 4);
    test::MainRig rig(in->fmt);
    rig.settings.set(hrd ? "CheckHRD" : "CheckCommander", "1");
    if (!portOpen)
        rig.serial.existing.clear();
    const FrequencyTracker& t = rig.load().tracker();
    const std::size_t told = rig.dialogs.messages.size() + rig.dialogs.posted.size();

    for (std::string_view part : split(in->rest, (in->flags & 8) ? '\n' : '\0', 64)) {
        const std::string text(part), where = (hrd ? "HRD " : "Commander ") + show(text);
        const std::int32_t received = t.receivedKHz(), before = t.relayedKHz();
        const std::string shown = rig.control("receivedLabel").text();
        const auto relays = t.relays();
        const auto sent = rig.serial.sent.size();
        const int writes = rig.files.writes;
        // Commander: the text in kHz, empty counting as 0, to the nearest whole kHz with halves
        // to even (nearbyint in the default rounding mode).
        const auto khz = hrd ? std::nullopt : plainDecimal(text.empty() ? "0" : text, in->fmt);
        const auto expected = hrd   ? hrdReading(text, where)
                              : khz ? inRange(std::nearbyint(*khz), *khz / 1000)
                                    : std::nullopt;

        rig.link.advise(text); // nothing may escape the dispatch

        FUZZ_CHECK(t.receivedKHz() == (expected ? expected->khz : received),
                   where + " gave " + std::to_string(t.receivedKHz()));
        // A reading so far from the last relay that the distance overflows shows nothing.
        const std::int64_t distance = std::int64_t{t.receivedKHz()} - before;
        const bool used = expected && distance >= INT32_MIN && distance <= INT32_MAX;
        const bool relayed = used && (distance >= 10 || distance <= -10);
        FUZZ_CHECK(t.relayedKHz() == (relayed ? t.receivedKHz() : before) &&
                       t.relays() == relays + relayed && rig.files.writes == writes + relayed &&
                       rig.serial.sent.size() == sent + (relayed && portOpen),
                   where);
        FUZZ_CHECK(rig.control("receivedLabel").text() ==
                           (used ? std::to_string(t.receivedKHz()) : shown) &&
                       rig.control("relayedLabel").text() == std::to_string(t.relayedKHz()) &&
                       rig.dialogs.messages.size() + rig.dialogs.posted.size() == told,
                   where);
        const std::string& mhzText = t.relayedMhzText();
        if (relayed)
            FUZZ_CHECK(mhzText == formatMHzText(expected->mhz, in->fmt) &&
                           rig.control("relayedMhzText").text() == mhzText &&
                           rig.pegasus() == mhzText + "\r\n" &&
                           (!portOpen || rig.serial.sent.back() ==
                                             ControllerLink::frequencyCommand(t.relayedKHz())),
                       where + " as " + show(mhzText));
    }
    return 0;
}
