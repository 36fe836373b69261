#include "sources/registrations.h"

#include "sources/hot_link_source.h"
#include "sources/trx_manager_source.h"

namespace veltaro {

namespace {

constexpr SourceRegistration Registrations[] = {
    {"commanderBox", "CheckCommander", nullptr,
     [](const SourceServices& s) { return makeCommanderSource(s.link); }},
    {"trxManagerBox", "CheckTRX", TrxManagerSource::UnavailableText,
     [](const SourceServices& s) -> std::unique_ptr<FrequencySource> {
         return std::make_unique<TrxManagerSource>(s.automation, s.system);
     }},
    {"hrdBox", "CheckHRD", nullptr, [](const SourceServices& s) { return makeHrdSource(s.link); }},
};

} // namespace

std::span<const SourceRegistration> sourceRegistrations() {
    return Registrations;
}

} // namespace veltaro
