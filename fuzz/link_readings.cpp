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

#include <limits>

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

// The whole kHz and the MHz value of a reading; nothing when the text must be refused.
struct Expected {
    std::int64_t khz;
    double mhz;
};

std::optional<Expected> inRange(double khz, double mhz) {
    if (!(khz >= std::numeric_limits<std::int32_t>::min() &&
          khz <= std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return Expected{static_cast<std::int64_t>(khz), mhz};
}

// Commander: the text in kHz, empty counting as 0, to the nearest whole kHz with halves to
// even (nearbyint in the default rounding mode).
std::optional<Expected> commanderReading(const std::string& text, NumberFormat fmt) {
    const auto khz = plainDecimal(text.empty() ? "0" : text, fmt);
    if (!khz)
        return std::nullopt;
    return inRange(std::nearbyint(*khz), *khz / 1000);
}

// For a text whose blank-free form starts with a plain number and holds none of the letters
// that strtod reads on its own (hex, inf, nan) or that the loose reading takes as an exponent
// ("d"), strtod on the blank-free form reads the same leading number.
std::optional<double> strtodOpinion(std::string_view text) {
    std::string s;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n')
            continue;
        if (c == '\0' || c == 'x' || c == 'X' || c == 'd' || c == 'D' || c == 'p' || c == 'P')
            return std::nullopt;
        s += c;
    }
    const std::size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
    if (i >= s.size() || !((s[i] >= '0' && s[i] <= '9') || s[i] == '.'))
        return std::nullopt;
    std::setlocale(LC_NUMERIC, "C");
    errno = 0;
    const double v = std::strtod(s.c_str(), nullptr);
    if (errno == ERANGE && std::isinf(v))
        return std::nullopt;
    return v;
}

// HRD: the leading number of the text in Hz, as MHz rounded to 15 significant digits, floored
// to whole kHz; a number beyond the double range is refused.
std::optional<Expected> hrdReading(const std::string& text, const std::string& where) {
    double hz = 0;
    try {
        hz = leadingNumber(text);
    } catch (const OverflowError&) {
        return std::nullopt;
    }
    if (const auto opinion = strtodOpinion(text))
        FUZZ_CHECK(*opinion == hz, where + " read as " + std::to_string(hz));
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
    Control &receivedLabel = rig.control("receivedLabel"),
            &relayedLabel = rig.control("relayedLabel");
    const std::size_t told = rig.dialogs.messages.size() + rig.dialogs.posted.size();

    for (std::string_view part : split(in->rest, (in->flags & 8) ? '\n' : '\0', 64)) {
        const std::string text(part);
        const std::string where = (hrd ? "HRD " : "Commander ") + show(text);
        const std::int32_t received = t.receivedKHz(), before = t.relayedKHz();
        const std::string shown = receivedLabel.text();
        const std::uint64_t relays = t.relays();
        const std::size_t sent = rig.serial.sent.size();
        const int writes = rig.files.writes;
        const auto expected = hrd ? hrdReading(text, where) : commanderReading(text, in->fmt);

        rig.link.advise(text); // nothing may escape the dispatch

        FUZZ_CHECK(t.receivedKHz() == (expected ? expected->khz : received),
                   where + " gave " + std::to_string(t.receivedKHz()));
        // A reading so far from the last relay that the distance overflows shows nothing.
        const std::int64_t distance = std::int64_t{t.receivedKHz()} - before;
        const bool used = expected && distance >= std::numeric_limits<std::int32_t>::min() &&
                          distance <= std::numeric_limits<std::int32_t>::max();
        const bool relayed = used && (distance >= 10 || distance <= -10);
        FUZZ_CHECK(t.relayedKHz() == (relayed ? t.receivedKHz() : before), where);
        FUZZ_CHECK(t.relays() == relays + (relayed ? 1 : 0), where);
        FUZZ_CHECK(rig.files.writes == writes + (relayed ? 1 : 0), where);
        FUZZ_CHECK(rig.serial.sent.size() == sent + (relayed && portOpen ? 1 : 0), where);
        FUZZ_CHECK(receivedLabel.text() == (used ? std::to_string(t.receivedKHz()) : shown), where);
        FUZZ_CHECK(relayedLabel.text() == std::to_string(t.relayedKHz()), where);
        FUZZ_CHECK(rig.dialogs.messages.size() + rig.dialogs.posted.size() == told, where);
        if (!relayed)
            continue;
        const std::string& mhzText = t.relayedMhzText();
        FUZZ_CHECK(mhzText == formatMHzText(expected->mhz, in->fmt),
                   where + " as " + show(mhzText));
        FUZZ_CHECK(rig.control("relayedMhzText").text() == mhzText, where);
        FUZZ_CHECK(rig.pegasus() == mhzText + "\r\n", where);
        if (portOpen)
            FUZZ_CHECK(rig.serial.sent.back() == ControllerLink::frequencyCommand(t.relayedKHz()),
                       where + " sent " + show(rig.serial.sent.back()));
    }
    return 0;
}
