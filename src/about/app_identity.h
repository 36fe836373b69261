// The application's fixed identity.
#pragma once

namespace veltaro::app {

inline constexpr const char* Title = "Veltaro";
inline constexpr int Major = 1;
inline constexpr int Minor = 2;
inline constexpr int Revision = 2;
inline constexpr const char* VersionText = "1.2.2";
inline constexpr const char* FileVersionText = "1.02.0002";
inline constexpr const char* HelpFile =
    "C:\\Program Files\\Helpman3\\Projects\\Veltaro\\Veltaro.hlp";

} // namespace veltaro::app
