// Whatever text a link delivers (up to 1 MiB, several deliveries split at NUL bytes), with
// Commander or HRD as the source: nothing escapes, and the display, the command and the file
// agree with the tracker after every delivery.
#include "fuzz_support.h"

#include "core/main_rig.h"
#include "platform/errors.h"
#include "relay/convert.h"

using namespace veltaro;
using namespace veltaro::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const NumberFormat fmt{(data[0] & 1) ? ',' : '.'};
    const bool hrd = (data[0] & 2) != 0;
    const bool portOpen = (data[0] & 4) == 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);

    test::MainRig rig(fmt);
    rig.settings.set(hrd ? "CheckHRD" : "CheckCommander", "1");
    if (!portOpen)
        rig.serial.existing.clear();
    frmMain& form = rig.load();
    auto& t = form.tracker();
    const std::size_t messagesAfterLoad = rig.dialogs.messages.size();

    for (std::string_view part : split(rest, '\0', 16)) {
        const std::string text(part);
        const std::string where = (hrd ? "HRD " : "Commander ") + show(text);
        const std::int32_t before = t.LastSentKHz;
        const std::size_t sent = rig.serial.sent.size();
        const int writes = rig.files.writes;
        form.Timer1.setEnabled(true);

        rig.link.advise(text); // nothing may escape the dispatch

        FUZZ_CHECK(form.Text1.text() == text, where);
        FUZZ_CHECK(rig.dialogs.messages.size() == messagesAfterLoad, where);
        const bool relayed = t.LastSentKHz != before;
        FUZZ_CHECK(rig.files.writes == writes + (relayed ? 1 : 0), where);
        FUZZ_CHECK(rig.serial.sent.size() == sent + (relayed && portOpen ? 1 : 0), where);
        if (relayed) {
            FUZZ_CHECK(std::abs(std::int64_t{t.NewKHz} - before) > 9, where);
            FUZZ_CHECK(rig.pegasus() == t.FreqMHzText + "\r\n", where);
            FUZZ_CHECK(form.Text3.text() == t.FreqMHzText, where);
            if (portOpen)
                FUZZ_CHECK(rig.serial.sent.back() == "FA" + t.FreqKHzDigits + "000;", where);
        }
        if (!hrd) {
            FUZZ_CHECK(t.CommanderFreq == (text.empty() ? "0" : text), where);
            FUZZ_CHECK(!form.Timer1.enabled(), where);
            const auto v = plainDecimal(text.empty() ? "0" : text, fmt);
            if (!v || std::fabs(*v) >= 2147483647.5)
                FUZZ_CHECK(!relayed, where);
        } else {
            double hz = 0;
            bool readable = true;
            try {
                hz = leadingNumber(text);
            } catch (const OverflowError&) {
                readable = false;
            }
            FUZZ_CHECK(form.Timer1.enabled() == !readable, where);
            // Whole kHz below the reading by less than one (the product of the MHz text and 1000
            // is taken in double and floored).
            const double khz = hz / 1000.0;
            if (readable && std::fabs(khz) < 2e9) {
                const double slack = 1e-9 * std::fabs(khz) + 1e-9;
                FUZZ_CHECK(t.NewKHz <= khz + slack && t.NewKHz > khz - 1 - slack,
                           where + " gave " + std::to_string(t.NewKHz));
            }
        }
        // The labels show the reading unless its distance to the last relay overflowed.
        if (std::abs(std::int64_t{t.NewKHz} - before) <= 2147483647)
            FUZZ_CHECK(form.Label7.caption() == std::to_string(t.NewKHz), where);
        FUZZ_CHECK(form.Label3.caption() == std::to_string(t.LastSentKHz), where);
    }
    return 0;
}
