// The settings of the program: keys, defaults and SaveAllSettings.
#pragma once

#include "platform/settings_store.h"
#include "platform/system.h"

#include <cstdint>
#include <string>

namespace veltaro {

inline constexpr const char* AppName = "Veltaro";
inline constexpr const char* Section = "StartUp";

struct SettingsSnapshot {
    std::int16_t comPort = 1;
    std::string comPortText; // when set, stored instead of comPort (start-up keeps the stored port)
    double left = 0;
    double top = 0;
    std::int16_t checkCommander = 0;
    std::int16_t checkTRX = 0;
    std::int16_t checkHRD = 0;
};

// Writes ComPort, Position-Left, Position-Top, CheckCommander, CheckTRX, CheckHRD in that order.
void SaveAllSettings(ISettingsStore& store, const SettingsSnapshot& s, NumberFormat fmt);

} // namespace veltaro
