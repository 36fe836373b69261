// Texts of any kind delivered on the hot link (up to 1 MiB, up to 64 deliveries an input) with
// Commander or HRD ticked, through the main window. Each delivery changes the frequency exactly
// as an independent reading of its text says or, refused (nothing read, or so far from the last
// relay that the distance overflows), changes nothing; a relay happens exactly at 10 kHz or more
// from the last one; the displays, the command and the file agree with the tracker; nothing
// escapes and the user is told nothing.
//
// The first byte: bit 0 the decimal comma, bit 1 HRD (else Commander), bit 2 no serial port,
// bit 3 deliveries separated by line feeds (else by NUL bytes).
#include "fuzz_support.h"

#include "core/main_rig.h"
#include "relay/controller_link.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

// The whole kHz of a reading; nothing when the text must be refused.
std::optional<std::int64_t> inRange(double khz) {
    if (!(khz >= INT32_MIN && khz <= INT32_MAX))
        return std::nullopt;
    return static_cast<std::int64_t>(khz);
}

// HRD: the leading number of the text in Hz, as MHz rounded to 15 significant digits, floored
// to whole kHz. Judged here only for a text whose blank-free form starts with a plain number and
// holds none of the letters that strtod reads on its own (hex, inf, nan) or that the loose
// reading takes as an exponent ("d"): the C library reads the same leading number from it.
std::optional<std::optional<std::int64_t>> hrdReading(std::string s) {
    std::erase_if(s, [](char c) { return c == ' ' || c == '\t' || c == '\n'; });
    const std::size_t i = s.find_first_of("+-") == 0;
    if (s.find_first_of(std::string("xXdDpP", 7)) != s.npos ||
        s.find_first_of("0123456789.", i) != i)
        return std::nullopt;
    std::setlocale(LC_NUMERIC, "C");
    char mhz[40];
    std::snprintf(mhz, sizeof mhz, "%.15g", std::strtod(s.c_str(), nullptr) / 1e6);
    if (std::isinf(std::strtod(mhz, nullptr)))
        return std::nullopt; // beyond the double range: refused, or read otherwise
    return inRange(std::floor(std::strtod(mhz, nullptr) * 1000.0));
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
    const FrequencyTracker& t = rig.load().session().tracker();
    const std::size_t told = rig.dialogs.messages.size() + rig.dialogs.posted.size();

    for (std::string_view part : split(in->rest, (in->flags & 8) ? '\n' : '\0', 64)) {
        const std::string text(part), where = (hrd ? "HRD " : "Commander ") + show(text);
        const std::int32_t received = t.receivedKHz(), before = t.relayedKHz();
        const std::string shown = rig.control("receivedLabel").text();
        const auto sent = rig.serial.sent.size();
        const int writes = rig.files.writes;
        // Commander: the text in kHz, empty counting as 0, to the nearest whole kHz with halves
        // to even (nearbyint in the default rounding mode). A text not judged here is taken as
        // the tracker read it.
        const auto khz = hrd ? std::nullopt : plainDecimal(text.empty() ? "0" : text, in->fmt);
        const auto judged = hrd ? hrdReading(text)
                                : std::optional(khz ? inRange(std::nearbyint(*khz)) : std::nullopt);

        rig.link.advise(text); // nothing may escape the dispatch
        auto expected = judged.value_or(std::nullopt);
        if (!judged && t.receivedKHz() != received)
            expected = t.receivedKHz();
        const std::int64_t distance = expected ? *expected - std::int64_t{before} : 0;
        // A reading is received even when its distance from the last relay is beyond 32 bits;
        // it is then neither relayed nor shown.
        const bool used = expected && distance >= INT32_MIN && distance <= INT32_MAX;
        FUZZ_CHECK(t.receivedKHz() == (expected ? *expected : received),
                   where + " gave " + std::to_string(t.receivedKHz()));
        const bool relayed = used && (distance >= 10 || distance <= -10);
        FUZZ_CHECK(t.relayedKHz() == (relayed ? t.receivedKHz() : before) &&
                       rig.files.writes == writes + relayed &&
                       rig.serial.sent.size() == sent + (relayed && portOpen),
                   where);
        FUZZ_CHECK(rig.control("receivedLabel").text() ==
                           (used ? std::to_string(t.receivedKHz()) : shown) &&
                       rig.control("relayedLabel").text() == std::to_string(t.relayedKHz()) &&
                       rig.dialogs.messages.size() + rig.dialogs.posted.size() == told,
                   where);
        // The MHz text is of the relayed reading, shown, written and sent as it is.
        const std::string& mhzText = t.relayedMhzText();
        if (const auto mhz = plainDecimal(mhzText, in->fmt); relayed)
            FUZZ_CHECK(mhz && near(*mhz * 1000, t.relayedKHz(), 1.0) &&
                           rig.control("relayedMhzText").text() == mhzText &&
                           rig.pegasus() == mhzText + "\r\n" &&
                           (!portOpen || rig.serial.sent.back() ==
                                             ControllerLink::frequencyCommand(t.relayedKHz())),
                       where + " as " + show(mhzText));
    }
    return 0;
}
