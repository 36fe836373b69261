#include "app/settings.h"

#include "base/errors.h"
#include "base/numbers.h"
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
    const auto v = parseRoundedInt16(read(key), fmt_);
    return v && *v >= 0 && *v <= 2 ? *v : std::int16_t{0};
}

std::optional<int> Settings::readPortNumber() {
    return parseRoundedInt16(read(key::ComPort), fmt_);
}

std::optional<float> Settings::readPosition(const char* key) {
    const auto v = parseNumber(read(key), fmt_);
    if (v && std::fabs(*v) <= FLT_MAX)
        return static_cast<float>(*v);
    return std::nullopt;
}

void Settings::writePosition(const char* key, double twips) {
    // A position no float can hold is not stored.
    if (std::fabs(twips) > FLT_MAX)
        return;
    if (const auto text = formatTwips(static_cast<float>(twips), fmt_))
        write(key, *text);
}

} // namespace veltaro
