#include "sources/hot_link_source.h"

#include "base/errors.h"
#include "base/numbers.h"

#include <utility>

namespace veltaro {

HotLinkSource::HotLinkSource(ILinkClient& link, ILinkClient::Address address, Conversion convert)
    : link_(link), address_(std::move(address)), convert_(std::move(convert)) {}

void HotLinkSource::start() {
    active_ = true;
    try {
        link_.connect(
            address_,
            [this](const std::string& text) {
                if (!active_)
                    return;
                if (auto reading = convert_(text))
                    deliver(*reading);
            },
            [this] {
                // Watched before the loss is told, so that a restart at once ends the watch.
                watch();
                reportLost("the program ended the link");
            });
    } catch (const LinkError&) {
        watch();
        throw;
    }
}

void HotLinkSource::watch() {
    if (active_)
        link_.watch(address_, [this] {
            if (active_)
                reportAppeared();
        });
}

void HotLinkSource::close() {
    active_ = false;
    link_.disconnect();
}

std::unique_ptr<FrequencySource> makeCommanderSource(ILinkClient& link) {
    return std::make_unique<HotLinkSource>(
        link, ILinkClient::Address{"CI-V Commander", "DDEServer", "XmitFreq"},
        [](const std::string& text) { return std::optional(Reading::kilohertzText(text)); });
}

std::unique_ptr<FrequencySource> makeHrdSource(ILinkClient& link) {
    return std::make_unique<HotLinkSource>(
        link, ILinkClient::Address{"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ"},
        [](const std::string& text) -> std::optional<Reading> {
            // A number too large for a double has nothing to relay.
            const auto hz = leadingNumber(text);
            const auto mhz = hz ? roundTo15Digits(*hz / 1000000.0) : std::nullopt;
            return mhz ? std::optional(Reading::megahertz(*mhz)) : std::nullopt;
        });
}

} // namespace veltaro
