// Start-up from stored settings of any text: the program starts, keeps what it did not mean to
// change, and what it saves reads back cleanly at the next start.
#include "fuzz_support.h"

#include "core/main_rig.h"

using namespace veltaro;
using namespace veltaro::fuzz;

namespace {

const char* const Keys[] = {"ComPort",  "Position-Left", "Position-Top", "CheckCommander",
                            "CheckTRX", "CheckHRD",      "CheckOnTop"};
const char* const SavedKeys[] = {"ComPort",        "Position-Left", "Position-Top",
                                 "CheckCommander", "CheckTRX",      "CheckHRD"};

bool plainDigits(const std::string& s) {
    if (s.empty() || s.size() > 5)
        return false;
    for (char c : s)
        if (c < '0' || c > '9')
            return false;
    return s == "0" || s[0] != '0';
}

void prepare(test::MainRig& rig, std::uint8_t flags) {
    if (flags & 2)
        rig.noCommanderServer();
    if (flags & 4)
        rig.noHrdServer();
    rig.automation.installed = (flags & 8) == 0;
    rig.serial.existing = {1, 3, 12};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto in = takeFormat(data, size);
    if (!in || in->rest.empty())
        return 0;
    const std::uint8_t flags = static_cast<std::uint8_t>(in->rest[0]);
    const auto values = split(in->rest.substr(1), '\n', 8);

    test::MainRig rig(in->fmt);
    prepare(rig, flags);
    for (std::size_t i = 0; i < values.size() && i < 7; ++i)
        rig.settings.set(Keys[i], std::string(values[i]));
    rig.settings.values["Veltaro/Ports/Com1"] = "/dev/pts/7";
    const auto stored = rig.settings.values;
    std::string where = "stored";
    for (const auto& [k, v] : stored)
        where += " " + k + "=" + show(v);

    frmMain& form = rig.load(); // nothing may escape start-up

    for (const char* key : Keys) {
        const auto it = rig.settings.values.find(std::string("Veltaro/StartUp/") + key);
        FUZZ_CHECK(it != rig.settings.values.end() && !it->second.empty(),
                   where + ": " + key + " has no value after start-up");
    }
    FUZZ_CHECK(rig.settings.values["Veltaro/Ports/Com1"] == "/dev/pts/7", where);
    // "CheckOnTop" is written only when the box changes.
    const auto onTopBefore = stored.find("Veltaro/StartUp/CheckOnTop");
    if (onTopBefore != stored.end() && !onTopBefore->second.empty())
        FUZZ_CHECK(rig.settings.get("CheckOnTop") == onTopBefore->second ||
                       (form.CheckOnTop.value() != 0 &&
                        rig.settings.get("CheckOnTop") == std::to_string(form.CheckOnTop.value())),
                   where + " CheckOnTop " + show(rig.settings.get("CheckOnTop")));
    int ticked = 0;
    for (const CheckBox* box : {&form.CheckCommander, &form.CheckTRX, &form.CheckHRD}) {
        FUZZ_CHECK(box->value() >= 0 && box->value() <= 2, where);
        ticked += box->value() == 1;
    }
    FUZZ_CHECK(ticked <= 1, where + ": more than one source ticked");

    // Closing saves; what was saved is clean text and gives the same window at the next start.
    form.Form_Unload();
    for (const char* key : SavedKeys) {
        const std::string v = rig.settings.get(key);
        if (std::string_view(key).rfind("Position", 0) == 0)
            FUZZ_CHECK(plainDecimal(v, in->fmt).has_value(),
                       where + " saved " + key + "=" + show(v));
        else
            FUZZ_CHECK(plainDigits(v), where + " saved " + key + "=" + show(v));
    }
    FUZZ_CHECK(rig.settings.get("ComPort") == std::to_string(rig.serial.commPort()), where);

    test::MainRig again(in->fmt);
    prepare(again, flags);
    again.settings.values = rig.settings.values;
    again.window.l = again.window.t = 0;
    frmMain& second = again.load();
    // Seven digits keep every whole position a screen can have; others to the seventh digit,
    // give or take the float's own step (2^-23 relative) when it is read back.
    for (auto [now, then] :
         {std::pair{again.window.l, rig.window.l}, {again.window.t, rig.window.t}}) {
        const double expected = static_cast<float>(then);
        const bool wholeOnScreen = std::fabs(expected) < 1e7 && expected == std::floor(expected);
        FUZZ_CHECK(!wholeOnScreen ? near(now, expected, (5e-7 + 1.2e-7) * std::fabs(expected))
                                  : now == expected,
                   where + " position " + std::to_string(now) + " for " + std::to_string(then));
    }
    FUZZ_CHECK(again.serial.commPort() == rig.serial.commPort(), where);
    FUZZ_CHECK(second.CheckTRX.value() == form.CheckTRX.value(), where);
    FUZZ_CHECK(second.CheckHRD.value() == form.CheckHRD.value(), where);
    FUZZ_CHECK(second.CheckCommander.value() == form.CheckCommander.value(), where);
    return 0;
}
