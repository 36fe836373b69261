#include "app/settings.h"

#include "base/errors.h"
#include "base/numbers.h"
#include "base/text.h"
#include "protocols/net_address.h"
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

std::optional<NetAddress> Settings::readFeedAddress(std::string* why) {
    const std::string stored = read(key::FeedAddress, FeedSection);
    if (text::trimSpace(stored).empty())
        return std::nullopt;
    std::string reason;
    auto address = parseNetAddress(stored, {FeedDefaultHost, 0}, &reason);
    if (!address && why)
        *why = "[Feed] Address \"" + stored + "\" cannot be used: " + reason;
    return address;
}

} // namespace veltaro

namespace veltaro {

namespace {

constexpr std::pair<steppir::Direction, const char*> DirectionTexts[] = {
    {steppir::Direction::Normal, "Normal"},
    {steppir::Direction::Reverse, "180"},
    {steppir::Direction::BiDir, "BiDir"},
    {steppir::Direction::ThreeQuarter, "3/4"}};

constexpr std::pair<IModemLine::Line, const char*> LineTexts[] = {{IModemLine::Line::Rts, "RTS"},
                                                                  {IModemLine::Line::Dtr, "DTR"}};
constexpr std::pair<InterlockSetup::Permit, const char*> PermitTexts[] = {
    {InterlockSetup::Permit::Asserted, "Asserted"}, {InterlockSetup::Permit::Cleared, "Cleared"}};

// The value whose text the stored one is, in any case; `fallback` for any other text.
template <class Value, std::size_t N>
Value valueOf(const std::string& stored, const std::pair<Value, const char*> (&texts)[N],
              Value fallback) {
    const std::string key = text::lowered(text::trimSpace(stored));
    for (const auto& [value, name] : texts)
        if (key == text::lowered(name))
            return value;
    return fallback;
}

template <class Value, std::size_t N>
const char* textOf(Value value, const std::pair<Value, const char*> (&texts)[N]) {
    for (const auto& [v, name] : texts)
        if (v == value)
            return name;
    return texts[0].second;
}

} // namespace

ControllerSetup Settings::readControllerSetup() {
    ControllerSetup setup;
    if (read(key::Protocol, ControllerSection) == "SteppIR")
        setup.protocol = ControllerSetup::Protocol::Steppir;
    const auto baud = parseRoundedInt16(read(key::Baud, ControllerSection), NumberFormat{});
    for (const int b : ControllerSetup::Bauds)
        if (baud && *baud == b)
            setup.baud = b;
    const std::string direction = read(key::Direction, ControllerSection);
    for (const auto& [d, text] : DirectionTexts)
        if (direction == text)
            setup.direction = d;
    return setup;
}

void Settings::writeControllerSetup(const ControllerSetup& setup, const ControllerSetup& before) {
    if (setup.protocol != before.protocol)
        write(key::Protocol,
              setup.protocol == ControllerSetup::Protocol::Steppir ? "SteppIR" : "FA",
              ControllerSection);
    if (setup.baud != before.baud)
        write(key::Baud, std::to_string(setup.baud), ControllerSection);
    for (const auto& [d, text] : DirectionTexts)
        if (d == setup.direction && d != before.direction)
            write(key::Direction, text, ControllerSection);
}

InterlockSetup Settings::readInterlockSetup() {
    InterlockSetup setup;
    const auto port =
        text::parseUnsigned<unsigned>(text::trimSpace(read(key::InterlockPort, InterlockSection)));
    if (port && *port >= 1 && *port <= 255)
        setup.port = static_cast<int>(*port);
    setup.line = valueOf(read(key::InterlockLine, InterlockSection), LineTexts, setup.line);
    setup.permit = valueOf(read(key::InterlockPermit, InterlockSection), PermitTexts, setup.permit);
    const auto hold = text::parseUnsigned<unsigned>(
        text::trimSpace(read(key::InterlockHoldMs, InterlockSection)));
    if (hold && *hold <= InterlockSetup::MaxHoldMs)
        setup.holdMs = static_cast<int>(*hold);
    return setup;
}

void Settings::writeInterlockSetup(const InterlockSetup& setup, const InterlockSetup& before) {
    if (setup.port != before.port)
        write(key::InterlockPort, setup.port ? std::to_string(*setup.port) : std::string(),
              InterlockSection);
    if (setup.line != before.line)
        write(key::InterlockLine, textOf(setup.line, LineTexts), InterlockSection);
    if (setup.permit != before.permit)
        write(key::InterlockPermit, textOf(setup.permit, PermitTexts), InterlockSection);
    if (setup.holdMs != before.holdMs)
        write(key::InterlockHoldMs, std::to_string(setup.holdMs), InterlockSection);
}

} // namespace veltaro
