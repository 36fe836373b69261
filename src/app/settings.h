// Responsibilities: the program's settings: the keys of the section "StartUp" with their
// defaults, the key of the section "Files" and the network sources' addresses in the section
// "Addresses", reading them with a fallback for stored text that
// cannot be used, and writing them with a failure told once.
// Collaborations: the relay session owns them and reads the port, the chosen source and the
// addresses; the main window's model writes the defaults of missing keys at start-up and saves;
// the source boxes' keys come from sources/registrations; the values live in ISettingsStore.
#pragma once

#include "app/failure_notice.h"
#include "base/numbers.h"
#include "ports/settings_store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace veltaro {

namespace key {
inline constexpr const char* ComPort = "ComPort";
inline constexpr const char* PositionLeft = "Position-Left";
inline constexpr const char* PositionTop = "Position-Top";
inline constexpr const char* OnTop = "CheckOnTop";
// In Settings::FilesSection; never written by the program. Empty or missing: the automatic place.
inline constexpr const char* FrequencyFilePath = "FrequencyFile";
// In Settings::AddressesSection, beside each network source's address (keyed as its
// registration says): the radio the N1MM UDP source follows, 0 or missing for the active one.
inline constexpr const char* N1MMRadio = "N1MMRadio";
} // namespace key

struct SettingKey {
    const char* name;
    const char* defaultText; // nullptr: where the platform placed the window
};

// Every key of the section, in the order start-up gives missing ones their defaults: the port,
// the position, each source box in registration order, On Top.
std::vector<SettingKey> startUpKeys();

class Settings {
public:
    static constexpr const char* Application = "Veltaro";
    static constexpr const char* Section = "StartUp";
    static constexpr const char* FilesSection = "Files";
    static constexpr const char* AddressesSection = "Addresses";

    Settings(ISettingsStore& store, FailureNotice& notice, NumberFormat fmt)
        : store_(store), notice_(notice), fmt_(fmt) {}

    // Empty when the key is missing.
    std::string read(const char* key, const char* section = Section);
    // A failure is told once (until a write succeeds again) and otherwise ignored.
    void write(const char* key, const std::string& value, const char* section = Section);

    // A box state of 0, 1 or 2; anything else reads as 0.
    std::int16_t readBoxState(const char* key);
    // The stored port number as its text reads in the user's format; nothing when it names no
    // number.
    std::optional<int> readPortNumber();
    // A position in twips; nothing when the text is not a number a window position can hold.
    std::optional<float> readPosition(const char* key);
    void writePosition(const char* key, double twips);

private:
    ISettingsStore& store_;
    FailureNotice& notice_;
    NumberFormat fmt_;
};

} // namespace veltaro
