#include "shell/frm_main.h"

#include "about/app_identity.h"
#include "about/frm_about.h"
#include "platform/errors.h"
#include "relay/convert.h"
#include "shell/on_top.h"

#include <cfloat>
#include <cmath>

namespace veltaro {

frmMain::frmMain(MainPlatform p)
    : p_(p), fileNotice_(p.dialogs, app::Title), settingsNotice_(p.dialogs, app::Title),
      link_(p.serial, Combo18, p.dialogs, p.format, [this] { SaveAll(); }), file_(p.files),
      tracker_(Label7, Label3, Text3, link_, file_, p.format),
      dde_(
          CheckCommander, CheckHRD, CheckTRX, Text1, Timer1, p.link, tracker_, p.format,
          [this] { SaveAll(); }, fileNotice_),
      trx_(
          CheckTRX, CheckCommander, CheckHRD, Timer1, p.automation, p.system, p.dialogs, tracker_,
          p.format, [this] { SaveAll(); }, fileNotice_) {
    Label8.setCaption("Freq In");
    Label1.setCaption("Freq Out");
    Combo18.setItems(ControllerLink::portItems());
    Combo18.setText("Com 1 ");
    Combo18.setClickHandler([this] { Combo18_Click(); });
    CheckOnTop.setClickHandler([this] { CheckOnTop_Click(); });
    CheckTRX.setClickHandler([this] { CheckTRX_Click(); });
    CheckCommander.setClickHandler([this] { CheckCommander_Click(); });
    CheckHRD.setClickHandler([this] { CheckHRD_Click(); });
    p_.link.setDeliveryHandler([this](const std::string& value) {
        if (unloaded_)
            return; // a late value after the window has gone
        Text1.setText(value);
        Text1_Change();
    });
}

std::string frmMain::readKey(const char* key) {
    return p_.settings.readSetting(AppName, Section, key);
}

void frmMain::writeKey(const char* key, const std::string& value) {
    try {
        p_.settings.writeSetting(AppName, Section, key, value);
    } catch (const Error& e) {
        settingsNotice_.report(std::string("The settings could not be saved: ") + e.what());
    }
}

std::int16_t frmMain::readBoxState(const char* key) {
    try {
        const std::int16_t v = textToInt16(readKey(key), p_.format);
        if (v >= 0 && v <= 2)
            return v;
    } catch (const Error&) {
    }
    return 0; // unusable stored text: the key's default
}

std::optional<float> frmMain::readPosition(const char* key) {
    try {
        const double v = parseNumber(readKey(key), p_.format);
        if (std::fabs(v) <= FLT_MAX)
            return static_cast<float>(v);
    } catch (const Error&) {
    }
    return std::nullopt; // unusable stored text: the window stays where it was created
}

void frmMain::SaveAll() {
    SettingsSnapshot s;
    s.comPort = p_.serial.commPort();
    if (startingUp_) {
        // The serial port does not hold the stored number yet; keep the stored one.
        try {
            s.comPortText = std::to_string(textToInt16(comPortSetting_, p_.format));
        } catch (const Error&) {
        }
    }
    s.left = p_.window.left();
    s.top = p_.window.top();
    s.checkCommander = CheckCommander.value();
    s.checkTRX = CheckTRX.value();
    s.checkHRD = CheckHRD.value();
    try {
        SaveAllSettings(p_.settings, s, p_.format);
    } catch (const Error& e) {
        settingsNotice_.report(std::string("The settings could not be saved: ") + e.what());
    }
}

void frmMain::writeMissingPositions() {
    for (const auto& [key, twips] :
         {std::pair{"Position-Left", p_.window.left()}, std::pair{"Position-Top", p_.window.top()}})
        if (readKey(key).empty())
            writeKey(key, formatSingle(static_cast<float>(twips), p_.format));
}

void frmMain::Form_Load() {
    startingUp_ = true;
    p_.window.setClientHeight(CollapsedClientHeight);

    // Defaults for keys that are missing or empty. The positions default to where the platform
    // placed the window; one that is not placed yet gets them once it is (Form_Placed).
    if (readKey("ComPort").empty())
        writeKey("ComPort", "1");
    if (p_.window.placed())
        writeMissingPositions();
    for (const char* box : {"CheckCommander", "CheckTRX", "CheckHRD", "CheckOnTop"})
        if (readKey(box).empty())
            writeKey(box, "0");

    if (auto left = readPosition("Position-Left"))
        p_.window.setLeft(*left);
    if (auto top = readPosition("Position-Top"))
        p_.window.setTop(*top);

    comPortSetting_ = readKey("ComPort");
    try {
        textToInt16(comPortSetting_, p_.format);
    } catch (const Error&) {
        comPortSetting_ = "1";
    }

    CheckOnTop.setValue(readBoxState("CheckOnTop"));
    Combo18.setText("Com " + comPortSetting_);
    CheckCommander.setValue(readBoxState("CheckCommander"));
    CheckTRX.setValue(readBoxState("CheckTRX"));
    CheckHRD.setValue(readBoxState("CheckHRD"));

    link_.OpenAtStartup(comPortSetting_);
    startingUp_ = false;
    tracker_.LastSentKHz = 0;
    dde_.Relink();
}

void frmMain::Form_Placed() {
    if (!unloaded_)
        writeMissingPositions();
}

void frmMain::Form_Unload() {
    if (unloaded_)
        return;
    SaveAll();
    release();
}

// The serial port, the link, the automation objects and the poll go with the window, even while
// the About dialog keeps the program running.
void frmMain::release() {
    unloaded_ = true;
    Timer1.setEnabled(false);
    PollStateChanged.notify();
    trx_.release();
    try {
        p_.link.setLinkMode(0);
    } catch (const Error&) {
    }
    try {
        if (p_.serial.portOpen())
            p_.serial.setPortOpen(false);
    } catch (const Error&) {
    }
}

void frmMain::mnuSetup_Click() {
    p_.window.setClientHeight(ExpandedClientHeight);
}

void frmMain::CmdReturn_Click() {
    p_.window.setClientHeight(CollapsedClientHeight);
}

void frmMain::mnuAbout_Click() {
    p_.window.showAbout();
}

void frmMain::mnuExit_Click() {
    SaveAll();
    p_.window.close();
}

void frmMain::mnuIndex_Click() {
    ShowHelpIndex(p_.help);
}

void frmMain::CheckOnTop_Click() {
    try {
        SetFormOnTop(p_.window, CheckOnTop.value() == 1);
    } catch (const Error&) {
        // A rectangle that cannot be expressed in pixels leaves the window as it is.
    }
    writeKey("CheckOnTop", std::to_string(CheckOnTop.value()));
}

void frmMain::CheckTRX_Click() {
    if (unloaded_)
        return;
    trx_.CheckTRX_Click();
    PollStateChanged.notify();
}

} // namespace veltaro
