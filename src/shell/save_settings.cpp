#include "shell/save_settings.h"

#include "relay/convert.h"

namespace veltaro {

void SaveAllSettings(ISettingsStore& store, const SettingsSnapshot& s, NumberFormat fmt) {
    auto write = [&](const char* key, const std::string& value) {
        store.writeSetting(AppName, Section, key, value);
    };
    write("ComPort", s.comPortText.empty() ? std::to_string(s.comPort) : s.comPortText);
    write("Position-Left", formatSingle(static_cast<float>(s.left), fmt));
    write("Position-Top", formatSingle(static_cast<float>(s.top), fmt));
    write("CheckCommander", std::to_string(s.checkCommander));
    write("CheckTRX", std::to_string(s.checkTRX));
    write("CheckHRD", std::to_string(s.checkHRD));
}

} // namespace veltaro
