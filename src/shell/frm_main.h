// The main window's logic: its controls, start-up, menus, shut-down and the handlers that the
// front end calls. It owns the tracker, the serial link, the frequency file and both sources.
#pragma once

#include "platform/automation.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "platform/link_client.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/system.h"
#include "platform/window_host.h"
#include "relay/controller_link.h"
#include "relay/frequency_file.h"
#include "relay/tracker.h"
#include "shell/save_settings.h"
#include "sources/dde_sources.h"
#include "sources/failure_notice.h"
#include "sources/trx_source.h"

#include <optional>
#include <string>

namespace veltaro {

struct MainPlatform {
    ISerialPort& serial;
    ISettingsStore& settings;
    IFileSystem& files;
    ILinkClient& link;
    IAutomationClient& automation;
    IWindowHost& window;
    IDialogs& dialogs;
    ISystem& system;
    IHelp& help;
    NumberFormat format;
};

class frmMain {
public:
    static constexpr double CollapsedHeight = 1455;
    static constexpr double ExpandedHeight = 3105;
    // The designed outer heights less the designed frame, title bar and menu bar (690 twips):
    // the area below the menu bar, whatever the window manager draws around it. Collapsed, the
    // cut falls between the captions (down to 735) and the port row (from 840); expanded,
    // between the HRD box (down to 2295) and the hidden text boxes (from 2640).
    static constexpr double DesignedFrameHeight = 690;
    static constexpr double CollapsedClientHeight = CollapsedHeight - DesignedFrameHeight;
    static constexpr double ExpandedClientHeight = ExpandedHeight - DesignedFrameHeight;
    static constexpr int TimerIntervalMs = 100;

    explicit frmMain(MainPlatform p);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Controls. Click handling is wired to the check boxes and the port list.
    Label Label7;
    Label Label3;
    Label Label8;
    Label Label1;
    ComboBox Combo18;
    CheckBox CheckOnTop;
    CheckBox CheckTRX;
    CheckBox CheckCommander;
    CheckBox CheckHRD;
    TextBox Text3;
    TextBox Text1;
    Timer Timer1{TimerIntervalMs, true};
    // Raised when whether a tick has work to do may have changed (see tickNeeded).
    Signal PollStateChanged;

    // Handlers.
    void Form_Load();
    // The platform has placed a window that was not placed during Form_Load: stores where it
    // landed when the store has no position yet.
    void Form_Placed();
    void Form_Unload();
    void mnuSetup_Click();
    void CmdReturn_Click();
    void mnuAbout_Click();
    void mnuExit_Click();
    void mnuIndex_Click();
    void Combo18_Click() { link_.Combo18_Click(); }
    void CheckOnTop_Click();
    void CheckCommander_Click() { dde_.CheckCommander_Click(); }
    void CheckHRD_Click() { dde_.CheckHRD_Click(); }
    void CheckTRX_Click();
    void Text1_Change() { dde_.Text1_Change(); }
    void Timer1_Timer() { trx_.Timer1_Timer(); }

    // The tracker and its members (NewKHz, LastSentKHz, FreqMHzText, ...).
    Tracker& tracker() { return tracker_; }
    const std::string& ComPortSetting() const { return comPortSetting_; }
    TrxSource& trxSource() { return trx_; }
    // False while a tick would find nothing to poll; a front end may then leave its timer idle.
    bool tickNeeded() const { return !unloaded_ && trx_.polling(); }
    // True once Form_Unload has run: the window's link, port, poll and file writes are gone.
    bool unloaded() const { return unloaded_; }

    void SaveAll();

private:
    std::string readKey(const char* key);
    void writeKey(const char* key, const std::string& value);
    std::int16_t readBoxState(const char* key);
    std::optional<float> readPosition(const char* key);
    void writeMissingPositions();
    void release();

    MainPlatform p_;
    FailureNotice fileNotice_;
    FailureNotice settingsNotice_;
    ControllerLink link_;
    FrequencyFile file_;
    Tracker tracker_;
    DdeSources dde_;
    TrxSource trx_;
    std::string comPortSetting_;
    bool startingUp_ = false;
    bool unloaded_ = false;
};

} // namespace veltaro
