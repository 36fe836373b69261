// Commander readings (kHz text) through the tracker, one reading per line of the input.
#include "fuzz_support.h"

#include "platform/errors.h"

using namespace veltaro;
using namespace veltaro::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeFormat(data, size);
    if (!in)
        return 0;
    TrackerRig rig(in->fmt);
    auto& t = rig.tracker;
    for (std::string_view line : split(in->rest, '\n', 64)) {
        const std::string reading(line);
        const std::int32_t before = t.LastSentKHz;
        const std::string label7 = rig.label7.caption();
        const std::size_t sent = rig.serial.sent.size();
        const std::string where = "Commander " + show(reading);
        t.CommanderFreq = reading;
        const auto oracle = plainDecimal(reading.empty() ? "0" : reading, in->fmt);
        try {
            t.UpdateFromCommander();
        } catch (const ConversionError&) {
            // Only text that is not a plain number may be refused, and it changes nothing.
            FUZZ_CHECK(!oracle, where);
            FUZZ_CHECK(t.LastSentKHz == before && rig.serial.sent.size() == sent, where);
            FUZZ_CHECK(rig.label7.caption() == label7, where);
            continue;
        } catch (const OverflowError&) {
            FUZZ_CHECK(t.LastSentKHz == before && rig.serial.sent.size() == sent, where);
            FUZZ_CHECK(rig.label7.caption() == label7, where);
            // Out of the 32-bit range, or so far from the last relay that the difference is.
            if (oracle)
                FUZZ_CHECK(std::fabs(*oracle) >= 2147483647.5 ||
                               std::fabs(std::nearbyint(*oracle) - before) > 2147483647.0,
                           where);
            continue;
        }
        FUZZ_CHECK(oracle.has_value(), where + " was accepted");
        FUZZ_CHECK(!reading.empty() || t.CommanderFreq == "0", where);
        // Nearest integer, exact halves to the even neighbour.
        const double v = *oracle;
        const double diff = v - t.NewKHz;
        FUZZ_CHECK(diff <= 0.5 && diff >= -0.5, where + " gave " + std::to_string(t.NewKHz));
        if (diff == 0.5 || diff == -0.5)
            FUZZ_CHECK(t.NewKHz % 2 == 0, where + " gave " + std::to_string(t.NewKHz));
        checkReading(rig, before, sent, reading);
        if (t.LastSentKHz != before)
            checkMHzText(t.FreqMHzText, v / 1000.0, in->fmt, where);
    }
    return 0;
}
