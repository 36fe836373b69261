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

void frmMain::Form_Load() {
    startingUp_ = true;
    p_.window.setHeight(CollapsedHeight);

    // Defaults for keys that are missing or empty; the positions default to where the window
    // was created.
    const std::pair<const char*, std::string> defaults[] = {
        {"ComPort", "1"},
        {"Position-Left", formatSingle(static_cast<float>(p_.window.left()), p_.format)},
        {"Position-Top", formatSingle(static_cast<float>(p_.window.top()), p_.format)},
        {"CheckCommander", "0"},
        {"CheckTRX", "0"},
        {"CheckHRD", "0"},
        {"CheckOnTop", "0"},
    };
    for (const auto& [key, value] : defaults)
        if (readKey(key).empty())
            writeKey(key, value);

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

    try {
        link_.OpenAtStartup(comPortSetting_);
    } catch (const Error&) {
        // The port layer refused the number itself; the port stays closed.
        link_.notAvailable(comPortSetting_);
    }
    startingUp_ = false;
    tracker_.LastSentKHz = 0;
    dde_.Relink();
}

void frmMain::Form_Unload() {
    SaveAll();
}

void frmMain::mnuSetup_Click() {
    p_.window.setHeight(ExpandedHeight);
}

void frmMain::CmdReturn_Click() {
    p_.window.setHeight(CollapsedHeight);
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
    trx_.CheckTRX_Click();
    PollStateChanged.notify();
}

} // namespace veltaro
