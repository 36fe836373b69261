// Responsibilities: the per-user settings store, text values addressed by application, section
// and key.
// Collaborations: app/settings reads and writes it; implemented by
// adapters/qt (QSettings file), adapters/win32 (the registry) and by test fakes.
#pragma once

#include <string>

namespace veltaro {

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;

    // The stored text, or empty text when the key, section or application does not exist.
    virtual std::string readSetting(const std::string& app, const std::string& section,
                                    const std::string& key) = 0;
    // Creates what is needed and replaces any earlier value; the value is on disk on return.
    virtual void writeSetting(const std::string& app, const std::string& section,
                              const std::string& key, const std::string& value) = 0;
};

} // namespace veltaro
