// Responsibilities: the registry on Windows: the per-user settings store under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<app>\<section> (REG_SZ values, where
// earlier installations keep them), and the advapi32 reads that locate the system-information
// tool, passed straight through to RegOpenKeyExA / RegQueryValueExA / RegCloseKey.
// Collaborations: RegistrySettingsStore serves shell/ (ISettingsStore); Win32Registry serves
// about/GetKeyValue (IRegistry).
#pragma once

#include "platform/registry.h"
#include "platform/settings_store.h"

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

class Win32Registry : public IRegistry {
public:
    long openKey(std::uint32_t root, const std::string& path, std::uint32_t access,
                 Key& key) override;
    long queryValue(Key key, const std::string& name, std::uint32_t& type,
                    std::vector<unsigned char>& buffer, std::uint32_t& length) override;
    void closeKey(Key key) override;
    std::string systemInfoFile(const std::string& folder) const override;
};

} // namespace veltaro::win32
