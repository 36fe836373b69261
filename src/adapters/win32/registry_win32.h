// Responsibilities: the registry on Windows: the per-user settings store under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section> (REG_SZ values, where
// earlier installations keep them), and the place of the system-information tool, read from
// HKEY_LOCAL_MACHINE (read access only, which a standard user has).
// Collaborations: RegistrySettingsStore serves shell/ (ISettingsStore); Win32SystemInfoLocator
// serves about/about_box (ISystemInfoLocator).
#pragma once

#include "ports/settings_store.h"
#include "ports/system_info.h"

#include <optional>
#include <string>

namespace veltaro::win32 {

class RegistrySettingsStore : public ISettingsStore {
public:
    static constexpr const char* Branch = "Software\\VB and VBA Program Settings";

    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override;
    // Raises Error when the registry refuses the write.
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override;

    static std::string keyPath(const std::string& app, const std::string& section);
};

// First the value PATH of HKLM\SOFTWARE\Microsoft\Shared Tools\MSINFO, as it stands; otherwise
// the folder in the value MSINFO of HKLM\SOFTWARE\Microsoft\Shared Tools Location with
// \MSINFO32.EXE appended, when that is an ordinary file (not a folder, not hidden, not a system
// file). A value is read as at most 1024 bytes: REG_SZ as its text, REG_DWORD as its decimal
// text, any other type as empty text; one that cannot be read counts as missing, and one with
// no data at all raises Error.
class Win32SystemInfoLocator : public ISystemInfoLocator {
public:
    static constexpr const char* ToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
    static constexpr const char* FolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";

    std::optional<std::string> find() override;
};

} // namespace veltaro::win32
