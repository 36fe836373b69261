#include "sources/registrations.h"

#include "sources/flrig_source.h"
#include "sources/hot_link_source.h"
#include "sources/net_address.h"
#include "sources/radio_info_source.h"
#include "sources/rigctld_source.h"
#include "sources/trx_manager_source.h"

#include <cstring>

namespace veltaro {

namespace {

// Where the source of a box links, looked up at each start (the default without a store).
NetAddressSource addressOf(const SourceServices& s, const char* box);
// The N1MMRadio setting: a radio number, or 0 (the active radio) when none or a bad one is set.
int chosenRadio(const std::function<std::string(const char*)>& setting);

constexpr SourceRegistration Registrations[] = {
    {"commanderBox", "CheckCommander", nullptr, nullptr, nullptr, false,
     [](const SourceServices& s) { return makeCommanderSource(s.link); }},
    {"trxManagerBox", "CheckTRX", TrxManagerSource::UnavailableText, nullptr, nullptr, false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<TrxManagerSource>(s.automation, s.system);
     }},
    {"hrdBox", "CheckHRD", nullptr, nullptr, nullptr, false,
     [](const SourceServices& s) { return makeHrdSource(s.link); }},
    {"hamlibBox", "CheckHamlib", nullptr, "Hamlib", "127.0.0.1:4532", false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<RigctldSource>(s.network, s.clock, addressOf(s, "hamlibBox"));
     }},
    {"flrigBox", "CheckFlrig", nullptr, "flrig", "127.0.0.1:12345", false,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<FlrigSource>(s.network, s.clock, addressOf(s, "flrigBox"));
     }},
    {"n1mmBox", "CheckN1MM", nullptr, "N1MM", "127.0.0.1:12060", true,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<RadioInfoSource>(
             s.network, s.clock, addressOf(s, "n1mmBox"),
             [setting = s.setting] { return chosenRadio(setting); });
     }},
};

NetAddressSource addressOf(const SourceServices& s, const char* box) {
    for (const auto& r : Registrations)
        if (std::strcmp(r.box, box) == 0)
            return [address = s.address, &r] {
                return address ? address(r) : *parseNetAddress(r.defaultAddress, {}, nullptr);
            };
    return {};
}

int chosenRadio(const std::function<std::string(const char*)>& setting) {
    const std::string text = setting ? setting("N1MMRadio") : std::string();
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != text.npos)
        return 0;
    const int radio = std::stoi(text);
    return radio <= MaxRadioNumber ? radio : 0;
}

} // namespace

std::span<const SourceRegistration> sourceRegistrations() {
    return Registrations;
}

} // namespace veltaro
