// Responsibilities: the program's settings: the keys of the section "StartUp" with their
// defaults, the key of the section "Files", the network sources' addresses in the section
// "Addresses", the controller's and the transmit-inhibit line's sections and the state feed's
// address in the section "Feed", reading them with a fallback for stored text that cannot be
// used, and writing them with a failure told once.
// Collaborations: the relay session owns them and reads the port, the chosen source and the
// addresses; the main window's model writes the defaults of missing keys at start-up and saves;
// the source boxes' keys come from sources/registrations; the values live in ISettingsStore.
#pragma once

#include "app/failure_notice.h"
#include "base/numbers.h"
#include "ports/network.h"
#include "ports/settings_store.h"
#include "protocols/steppir_frames.h"
#include "relay/interlock.h"

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
// In Settings::ControllerSection: the controller's protocol ("FA" or "SteppIR"), the baud rate
// of the SteppIR protocol and the element direction ("Normal", "180", "BiDir", "3/4").
inline constexpr const char* Protocol = "Protocol";
inline constexpr const char* Baud = "Baud";
inline constexpr const char* Direction = "Direction";
// In Settings::InterlockSection: the port of the transmit-inhibit line (empty: none), its line
// ("RTS" or "DTR"), the level that permits transmitting ("Asserted" or "Cleared") and the FA
// path's hold after each command in milliseconds.
inline constexpr const char* InterlockPort = "Port";
inline constexpr const char* InterlockLine = "Line";
inline constexpr const char* InterlockPermit = "Permit";
inline constexpr const char* InterlockHoldMs = "HoldMs";
// In Settings::FeedSection: where the state feed sends ("HOST:PORT"); empty or missing: off.
inline constexpr const char* FeedAddress = "Address";
} // namespace key

// How Veltaro speaks to the antenna controller. Missing or unusable settings read as the
// defaults: FA (the Data In path, 4800 baud), 9600 baud and Normal for the SteppIR protocol.
struct ControllerSetup {
    enum class Protocol { Fa, Steppir };
    static constexpr int FaBaud = 4800;
    static constexpr int DefaultBaud = 9600;
    static constexpr int Bauds[] = {1200, 2400, 4800, 9600, 19200};

    Protocol protocol = Protocol::Fa;
    int baud = DefaultBaud; // of the SteppIR protocol
    steppir::Direction direction = steppir::Direction::Normal;

    // The line's baud rate: 4800 on the FA path, the setting's on the SteppIR path.
    int lineBaud() const { return protocol == Protocol::Fa ? FaBaud : baud; }
    bool operator==(const ControllerSetup&) const = default;
};

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
    static constexpr const char* ControllerSection = "Controller";
    static constexpr const char* InterlockSection = "Interlock";
    static constexpr const char* FeedSection = "Feed";
    // The host of a feed address given as a port alone.
    static constexpr const char* FeedDefaultHost = "127.0.0.1";

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
    // The controller's section; each value that cannot be used reads as its default.
    ControllerSetup readControllerSetup();
    // Writes the keys whose values differ from those before.
    void writeControllerSetup(const ControllerSetup& setup, const ControllerSetup& before);
    // The transmit-inhibit line's section; each value that cannot be used reads as its default
    // (a port other than 1 to 255: none; a hold beyond 0 to InterlockSetup::MaxHoldMs: 2000).
    // Whether the port is the controller's is the caller's business.
    InterlockSetup readInterlockSetup();
    // Writes the keys whose values differ from those before; no port is written as empty text.
    void writeInterlockSetup(const InterlockSetup& setup, const InterlockSetup& before);
    void writePosition(const char* key, double twips);
    // Where the state feed sends: nothing when the key is empty or missing (the feed is off),
    // or when its text is not an address, with *why set to say so.
    std::optional<NetAddress> readFeedAddress(std::string* why);

private:
    ISettingsStore& store_;
    FailureNotice& notice_;
    NumberFormat fmt_;
};

} // namespace veltaro
