#include "about/frm_about.h"

#include "about/app_identity.h"
#include "platform/errors.h"

#include <utility>

namespace veltaro {

bool GetKeyValue(IRegistry& reg, std::uint32_t KeyRoot, const std::string& KeyName,
                 const std::string& SubKeyRef, std::string& KeyVal) {
    IRegistry::Key key = 0;
    if (reg.openKey(KeyRoot, KeyName, frmAbout::KeyAccess, key) != 0) {
        KeyVal.clear();
        return false;
    }
    // The key is closed on every way out.
    struct Closer {
        IRegistry& reg;
        IRegistry::Key key;
        ~Closer() { reg.closeKey(key); }
    } closer{reg, key};

    std::vector<unsigned char> buffer(1024, 0);
    std::uint32_t type = 0;
    std::uint32_t length = static_cast<std::uint32_t>(buffer.size());
    if (reg.queryValue(key, SubKeyRef, type, buffer, length) != 0) {
        KeyVal.clear();
        return false;
    }
    if (length == 0 || length > buffer.size())
        throw Error("Invalid procedure call or argument");
    // Drop the terminating zero that string values carry; keep an unterminated value whole.
    const std::size_t kept = buffer[length - 1] == 0 ? length - 1 : length;
    const std::string text(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(kept));
    if (type == IRegistry::REG_SZ_TYPE) {
        KeyVal = text;
    } else if (type == IRegistry::REG_DWORD_TYPE) {
        // A number value reads as its decimal text.
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4 && i < length; ++i)
            v |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
        KeyVal = std::to_string(v);
    }
    return true;
}

void ShowHelpIndex(IHelp& help) {
    help.showHelp(3, app::HelpFile);
}

frmAbout::frmAbout(AboutPlatform p, std::function<void()> unload)
    : p_(p), unload_(std::move(unload)) {
    Caption.setText("About MyApp");
    lblTitle.setCaption(app::Title);
    lblVersion.setCaption("Version 1.2.2");
    lblDescription.setCaption("Veltaro is a freeware program designed to link between "
                              "TRX-Manager or Commander and the SteppIR beam antenna by "
                              "Fluidmotion.");
    lblDisclaimer.setCaption("Warning: ...");
}

void frmAbout::Form_Load() {
    Caption.setText(std::string("About ") + app::Title);
    lblVersion.setCaption("Version " + std::to_string(app::Major) + "." +
                          std::to_string(app::Minor) + "." + std::to_string(app::Revision));
    lblTitle.setCaption(app::Title);
}

void frmAbout::cmdOK_Click() {
    if (unload_)
        unload_();
}

void frmAbout::StartSysInfo() {
    static constexpr auto HKLM = IRegistry::HKEY_LOCAL_MACHINE_ROOT;
    try {
        std::string ToolPath;
        if (!GetKeyValue(p_.registry, HKLM, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                         ToolPath)) {
            if (!GetKeyValue(p_.registry, HKLM, "SOFTWARE\\Microsoft\\Shared Tools Location",
                             "MSINFO", ToolPath))
                throw Error("no system information tool");
            const std::string candidate = ToolPath + p_.registry.systemInfoFile(ToolPath);
            if (!p_.files.isOrdinaryFile(candidate))
                throw Error("no system information tool");
            ToolPath = candidate;
        }
        p_.launcher.startProgram(ToolPath);
        return;
    } catch (const Error&) {
    }
    p_.dialogs.messageBox(UnavailableText, app::Title);
}

} // namespace veltaro
