#include "sources/registrations.h"

#include "base/text.h"
#include "protocols/net_address.h"
#include "sources/flrig_source.h"
#include "sources/hot_link_source.h"
#include "sources/radio_info_source.h"
#include "sources/rigctld_source.h"
#include "sources/trx_manager_source.h"

namespace veltaro {

namespace {

// Where the source links, looked up at each start (the default without a store).
NetAddressSource addressOf(const SourceServices& s, SourceId id);
// The N1MMRadio setting: a radio number, or 0 (the active radio) when none or a bad one is set.
int chosenRadio(const std::function<std::string(const char*)>& setting);

constexpr SourceRegistration Registrations[] = {
    {SourceId::Commander, "Commander", "CheckCommander", nullptr, nullptr, nullptr, false,
     [](const SourceServices& s) { return makeCommanderSource(s.link); }},
    {SourceId::TrxManager, "TRX-Manager", "CheckTRX", TrxManagerSource::UnavailableText, nullptr,
     nullptr, false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<TrxManagerSource>(s.automation);
     }},
    {SourceId::Hrd, "HRD", "CheckHRD", nullptr, nullptr, nullptr, false,
     [](const SourceServices& s) { return makeHrdSource(s.link); }},
    {SourceId::Hamlib, "Hamlib", "CheckHamlib", nullptr, "Hamlib", "127.0.0.1:4532", false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<RigctldSource>(s.network, s.clock, addressOf(s, SourceId::Hamlib));
     }},
    {SourceId::Flrig, "flrig", "CheckFlrig", nullptr, "flrig", "127.0.0.1:12345", false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<FlrigSource>(s.network, s.clock, addressOf(s, SourceId::Flrig));
     }},
    {SourceId::N1mm, "N1MM UDP", "CheckN1MM", nullptr, "N1MM", "127.0.0.1:12060", true,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<RadioInfoSource>(
             s.network, s.clock, addressOf(s, SourceId::N1mm),
             [setting = s.setting] { return chosenRadio(setting); });
     }},
};

NetAddressSource addressOf(const SourceServices& s, SourceId id) {
    return [address = s.address, &r = registrationOf(id)] {
        return address ? address(r) : *parseNetAddress(r.defaultAddress, {}, nullptr);
    };
}

int chosenRadio(const std::function<std::string(const char*)>& setting) {
    const std::string text = setting ? setting("N1MMRadio") : std::string();
    const auto radio = text.size() <= 3 ? text::parseUnsigned<unsigned>(text) : std::nullopt;
    return radio && *radio <= MaxRadioNumber ? static_cast<int>(*radio) : 0;
}

} // namespace

std::span<const SourceRegistration> sourceRegistrations() {
    return Registrations;
}

const SourceRegistration& registrationOf(SourceId id) {
    for (const auto& r : Registrations)
        if (r.id == id)
            return r;
    return Registrations[0]; // every id has its registration
}

} // namespace veltaro
