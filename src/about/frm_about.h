// The About dialog, its System Info command, and Help > Index.
#pragma once

#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "platform/registry.h"

#include <cstdint>
#include <functional>
#include <string>

namespace veltaro {

// Reads one registry value as text; false with KeyVal "" when the key or value is missing.
bool GetKeyValue(IRegistry& reg, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal);

// Help > Index: the contents of the fixed help file.
void ShowHelpIndex(IHelp& help);

struct AboutPlatform {
    IRegistry& registry;
    IFileSystem& files;
    ILauncher& launcher;
    IDialogs& dialogs;
};

class frmAbout {
public:
    // unload closes the dialog window; the front end drops this instance afterwards.
    frmAbout(AboutPlatform p, std::function<void()> unload);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click() { StartSysInfo(); }
    void StartSysInfo();

    TextBox Caption; // the title bar
    Label lblTitle;
    Label lblVersion;
    Label lblDescription;
    Label lblDisclaimer;

    static constexpr const char* UnavailableText = "System Information Is Unavailable At This Time";
    static constexpr std::uint32_t KeyAccess = 0x20019; // KEY_READ

private:
    AboutPlatform p_;
    std::function<void()> unload_;
};

} // namespace veltaro
