// Responsibilities: the per-user settings store on Linux: one INI file per application at
// $XDG_CONFIG_HOME/<app>/<app>.conf (~/.config when unset), a group per section, values kept as
// the text given. Every write reaches the disk before it returns.
// Collaborations: ISettingsStore for shell/, QtSerialLine (the Ports section) and
// QtSystemInfoLocator (the SystemInfo section); QSettings.
#pragma once

#include "ports/settings_store.h"

#include <QString>

#include <string>

namespace veltaro::qt {

class QtSettingsStore : public veltaro::ISettingsStore {
public:
    QtSettingsStore() = default;

    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override;
    // Raises veltaro::Error when the file cannot be written.
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override;

    // The file that holds the settings of an application.
    static QString filePath(const std::string& app);
};

} // namespace veltaro::qt
