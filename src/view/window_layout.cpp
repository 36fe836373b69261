#include "view/window_layout.h"

#include "base/identity.h"

#include <algorithm>
#include <cmath>

namespace veltaro::layout {

namespace {

constexpr Font FrequencyFont{"Arial", 11.25};

constexpr ControlSpec MainControls[] = {
    {"receivedLabel",
     Kind::FrequencyDisplay,
     "",
     {120, 120, 855, 315},
     9,
     Command::None,
     FrequencyFont},
    {"relayedLabel",
     Kind::FrequencyDisplay,
     "",
     {1080, 120, 855, 315},
     4,
     Command::None,
     FrequencyFont},
    {"receivedCaption", Kind::Caption, "Freq In", {240, 480, 615, 255}, 10},
    {"relayedCaption", Kind::Caption, "Freq Out", {1080, 480, 855, 255}, 11},
    // What is known of the antenna and whether the radio may transmit, in view with the setup
    // panel hidden too.
    {"antennaLabel", Kind::StatusLine, "", {120, 795, 1815, 480}, 18},
    {"interlockLabel", Kind::StatusLine, "", {120, 1335, 1815, 480}, 19},
    // The setup panel.
    {"portList", Kind::PortList, "Com 1 ", {0, 1920, 975, 315}, 0},
    {"hideSetupButton", Kind::Button, "Hide Setup", {1080, 1920, 975, 300}, 12, Command::HideSetup},
    {"protocolList", Kind::DropDownList, "", {120, 2280, 1815, 315}, 1},
    {"baudList", Kind::DropDownList, "", {120, 2640, 1815, 315}, 2},
    {"directionList", Kind::DropDownList, "", {120, 3000, 1815, 315}, 3},
    {"interlockPortList", Kind::DropDownList, "", {120, 3360, 1815, 315}, 20},
    {"interlockLineList", Kind::DropDownList, "", {120, 3720, 1815, 315}, 21},
    {"interlockPermitList", Kind::DropDownList, "", {120, 4080, 1815, 315}, 22},
    {"interlockHoldList", Kind::DropDownList, "", {120, 4440, 1815, 315}, 23},
    {"onTopBox", Kind::CheckBox, "On Top", {120, 4800, 975, 255}, 8},
    {"trxManagerBox", Kind::CheckBox, "TRX-Manager", {120, 5160, 1575, 255}, 6},
    {"commanderBox", Kind::CheckBox, "Commander", {120, 5400, 1455, 255}, 7},
    {"hrdBox", Kind::CheckBox, "HRD", {120, 5640, 1455, 255}, 14},
    {"hamlibBox", Kind::CheckBox, "Hamlib", {120, 5880, 1455, 255}, 15},
    {"flrigBox", Kind::CheckBox, "flrig", {120, 6120, 1455, 255}, 16},
    {"n1mmBox", Kind::CheckBox, "N1MM UDP", {120, 6360, 1455, 255}, 17},
    // Below the designed client area: never in view.
    {"relayedMhzText", Kind::TextBox, "", {120, 6960, 975, 285}, 13},
};

constexpr SourceBox SourceBoxes[] = {
    {SourceId::Commander, "commanderBox"},
    {SourceId::TrxManager, "trxManagerBox"},
    {SourceId::Hrd, "hrdBox"},
    {SourceId::Hamlib, "hamlibBox"},
    {SourceId::Flrig, "flrigBox"},
    {SourceId::N1mm, "n1mmBox"},
};

constexpr MenuItem MainMenu[] = {
    {"fileMenu", "&File", true, Command::None},
    {"exitItem", "&Exit", false, Command::Exit},
    {"setupItem", "&Setup", true, Command::Setup},
    {"helpMenu", "&Help", true, Command::None},
    {"helpIndexItem", "&Index", false, Command::HelpIndex},
    {"aboutItem", "&About", false, Command::About},
};

constexpr ControlSpec AboutControls[] = {
    {"icon", Kind::Icon, "", {240, 240, 540, 540}, 1},
    {"titleLabel", Kind::Text, app::Title, {1050, 240, 3885, 240}, 5},
    {"versionLabel", Kind::Text, "", {1050, 480, 3885, 225}, 6},
    {"descriptionLabel",
     Kind::Text,
     "Veltaro is a freeware program designed to link between TRX-Manager or Commander and the "
     "SteppIR beam antenna by Fluidmotion.",
     {1050, 840, 3885, 1410},
     3},
    // An etched separator: a grey line with a white one 15 twips below it.
    {"separatorShadow", Kind::Line, "", {90, 2445, 5564, 0}, -1, Command::None, {}, 0x808080, 1},
    {"separatorLight", Kind::Line, "", {105, 2460, 5549, 0}, -1, Command::None, {}, 0xFFFFFF, 2},
    {"disclaimerLabel", Kind::Text, "Warning: ...", {255, 2625, 3870, 825}, 4},
    {"okButton", Kind::DefaultButton, "OK", {4245, 2625, 1260, 345}, 0, Command::Ok},
    {"systemInfoButton",
     Kind::Button,
     "&System Info...",
     {4260, 3075, 1245, 345},
     2,
     Command::SystemInfo},
};

constexpr ControlSpec AddressControls[] = {
    {"promptLabel", Kind::Text, "Address (host:port):", {120, 120, 3375, 255}, 0},
    {"addressText", Kind::TextBox, "", {120, 405, 3375, 285}, 1},
    {"okButton", Kind::DefaultButton, "OK", {1035, 840, 1215, 345}, 2, Command::Ok},
    {"cancelButton", Kind::CancelButton, "Cancel", {2280, 840, 1215, 345}, 3, Command::Cancel},
};

constexpr WindowSpec MainWindowSpec{"mainWindow", 2115, MainExpandedHeight, MainControls, MainMenu};
constexpr WindowSpec AboutBoxSpec{"aboutBox", 5730, 3555, AboutControls, {}};
constexpr WindowSpec AddressDialogSpec{"addressDialog", 3615, 1305, AddressControls, {}};

} // namespace

const WindowSpec& mainWindow() {
    return MainWindowSpec;
}

std::span<const SourceBox> sourceBoxes() {
    return SourceBoxes;
}

const WindowSpec& aboutBox() {
    return AboutBoxSpec;
}

const WindowSpec& addressDialog() {
    return AddressDialogSpec;
}

int toPixels(double twips, double twipsPerPixel) {
    return static_cast<int>(std::lround(twips / twipsPerPixel));
}

bool takesFocus(Kind kind) {
    switch (kind) {
    case Kind::PortList:
    case Kind::DropDownList:
    case Kind::Button:
    case Kind::DefaultButton:
    case Kind::CancelButton:
    case Kind::CheckBox:
    case Kind::TextBox:
        return true;
    default:
        return false;
    }
}

std::vector<const ControlSpec*> tabOrder(const WindowSpec& window) {
    std::vector<const ControlSpec*> order;
    for (const auto& c : window.controls)
        if (takesFocus(c.kind))
            order.push_back(&c);
    std::sort(order.begin(), order.end(),
              [](const ControlSpec* a, const ControlSpec* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

} // namespace veltaro::layout
