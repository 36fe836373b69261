#include "shell/settings.h"

#include "platform/errors.h"
#include "relay/convert.h"
#include "sources/registrations.h"

#include <cfloat>
#include <cmath>

namespace veltaro {

std::vector<SettingKey> startUpKeys() {
    std::vector<SettingKey> keys{
        {key::ComPort, "1"}, {key::PositionLeft, nullptr}, {key::PositionTop, nullptr}};
    for (const auto& r : sourceRegistrations())
        keys.push_back({r.settingsKey, "0"});
    keys.push_back({key::OnTop, "0"});
    return keys;
}

std::string Settings::read(const char* key, const char* section) {
    return store_.readSetting(Application, section, key);
}

void Settings::write(const char* key, const std::string& value, const char* section) {
    try {
        store_.writeSetting(Application, section, key, value);
        notice_.clear();
    } catch (const Error& e) {
        notice_.report(std::string("The settings could not be saved: ") + e.what());
    }
}

std::int16_t Settings::readBoxState(const char* key) {
    try {
        const std::int16_t v = textToInt16(read(key), fmt_);
        if (v >= 0 && v <= 2)
            return v;
    } catch (const Error&) {
    }
    return 0;
}

std::optional<float> Settings::readPosition(const char* key) {
    try {
        const double v = parseNumber(read(key), fmt_);
        if (std::fabs(v) <= FLT_MAX)
            return static_cast<float>(v);
    } catch (const Error&) {
    }
    return std::nullopt;
}

void Settings::writePosition(const char* key, double twips) {
    try {
        write(key, formatSingle(static_cast<float>(twips), fmt_));
    } catch (const Error&) {
        // A position no float can hold is not stored.
    }
}

} // namespace veltaro
