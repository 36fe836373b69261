// Start-up from stored settings of any text: the program starts, keeps what it did not mean to
// change, and what it saves is clean text that gives the same window at the next start.
//
// The input: a byte (bit 0 the decimal comma), a byte of flags (bit 1 no Commander, bit 2 no
// HRD, bit 3 no TRX-Manager), then the stored values, one a line, in the order of the settings
// keys.
#include "fuzz_support.h"

#include "app/settings.h"
#include "core/main_rig.h"
#include "view/window_layout.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

const std::string OtherKey = "Veltaro/Other/Kept", Section = "Veltaro/StartUp/";

// A whole number without sign or other leading zero, of five digits at most, from lo to hi.
bool plainDigits(std::string_view s, int lo = 0, int hi = 99999) {
    return !s.empty() && s.size() <= 5 && s.find_first_not_of("0123456789") == s.npos &&
           (s == "0" || s[0] != '0') && std::stoi(std::string(s)) >= lo &&
           std::stoi(std::string(s)) <= hi;
}

test::MainRig& prepare(test::MainRig& rig, std::uint8_t flags) {
    if (flags & 2)
        rig.noCommanderServer();
    if (flags & 4)
        rig.noHrdServer();
    rig.automation.installed = (flags & 8) == 0;
    rig.serial.existing = {1, 3, 12};
    return rig;
}

// The values of the window's check boxes, source boxes first.
std::vector<std::int16_t> boxes(test::MainRig& rig) {
    std::vector<std::int16_t> values;
    for (const auto& b : layout::sourceBoxes())
        values.push_back(static_cast<std::int16_t>(rig.control(b.box).check()));
    values.push_back(static_cast<std::int16_t>(rig.control("onTopBox").check()));
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeInput(data, size);
    if (!in || in->rest.empty())
        return 0;
    const auto flags = static_cast<std::uint8_t>(in->rest[0]);
    const std::vector<SettingKey> keys = startUpKeys();
    const auto values = split(in->rest.substr(1), '\n', keys.size() + 1);
    test::MainRig rig(in->fmt);
    prepare(rig, flags);
    for (std::size_t i = 0; i < values.size() && i < keys.size(); ++i)
        rig.settings.set(keys[i].name, std::string(values[i]));
    rig.settings.values[OtherKey] = "kept";
    const auto stored = rig.settings.values;
    std::string where = "stored";
    for (const auto& [k, v] : stored)
        where += " " + k + "=" + show(v);

    MainWindowModel& window = rig.load(); // nothing may escape start-up

    for (const auto& k : keys)
        FUZZ_CHECK(!rig.settings.values[Section + k.name].empty(),
                   where + ": " + k.name + " has no value after start-up");
    FUZZ_CHECK(rig.settings.values[OtherKey] == "kept", where);
    // On Top is written only when its box changes.
    const auto onTop = stored.find(Section + key::OnTop);
    const auto onTopBox = static_cast<std::int16_t>(rig.control("onTopBox").check());
    FUZZ_CHECK(onTop == stored.end() || onTop->second.empty() ||
                   rig.settings.get(key::OnTop) == onTop->second ||
                   (onTopBox != 0 && rig.settings.get(key::OnTop) == std::to_string(onTopBox)),
               where + " On Top " + show(rig.settings.get(key::OnTop)));
    const auto first = boxes(rig);
    FUZZ_CHECK(std::all_of(first.begin(), first.end(), [](auto v) { return v >= 0 && v <= 2; }) &&
                   std::count(first.begin(), first.end() - 1, 1) <= 1,
               where + ": boxes out of range or more than one source ticked");

    // Closing saves everything but On Top: the port that was tried (one a serial line opens,
    // COM1 to COM255), positions as decimal text (a whole one below 1e7 without separator), the
    // boxes as plain digits.
    const int port = rig.serial.opened;
    window.unload();
    for (const auto& k : keys) {
        const std::string v = rig.settings.get(k.name),
                          saved = where + " saved " + k.name + "=" + show(v);
        const bool isPort = std::string_view(k.name) == key::ComPort;
        const auto back = plainDecimal(v, in->fmt);
        if (std::string_view(k.name) != key::OnTop)
            FUZZ_CHECK(k.defaultText
                           ? isPort ? plainDigits(v, 1, 255) : plainDigits(v)
                           : back && (*back != std::floor(*back) || std::fabs(*back) >= 1e7 ||
                                      v.find(in->fmt.decimal) == v.npos),
                       saved);
    }
    FUZZ_CHECK(!port || rig.settings.get(key::ComPort) == std::to_string(port), where);
    for (const std::string& e : rig.journal.entries)
        FUZZ_CHECK(!e.starts_with("serial open") ||
                       plainDigits(e.substr(e.rfind("COM") + 3), 1, 255),
                   where + ": " + e);

    test::MainRig again(in->fmt);
    prepare(again, flags).settings.values = rig.settings.values;
    again.host.l = again.host.t = 0;
    again.load();
    // Seven digits keep every whole position a screen can have; others to the seventh digit,
    // give or take the float's own step (2^-23 relative) when it is read back.
    for (auto [now, then] : {std::pair{again.host.l, rig.host.l}, {again.host.t, rig.host.t}}) {
        const double expected = static_cast<float>(then);
        const bool wholeOnScreen = std::fabs(expected) < 1e7 && expected == std::floor(expected);
        FUZZ_CHECK(!wholeOnScreen ? near(now, expected, (5e-7 + 1.2e-7) * std::fabs(expected))
                                  : now == expected,
                   where + " position " + std::to_string(now) + " for " + std::to_string(then));
    }
    // The next start opens the port that was saved (a stored number no port has was saved as 1).
    const int saved = std::stoi(rig.settings.get(key::ComPort));
    FUZZ_CHECK(again.serial.opened == (again.serial.existing.count(saved) ? saved : 0) &&
                   boxes(again) == first,
               where);
    return 0;
}
