// Sources that publish the frequency as a hot-linked item (DDE on Windows, the D-Bus link
// contract on Linux): Commander's kHz text and HRD's Hz text. One link client serves them all,
// one link at a time.
#pragma once

#include "ports/link_client.h"
#include "sources/frequency_source.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veltaro {

class HotLinkSource : public FrequencySource {
public:
    // The reading a delivered text stands for, or nothing when it stands for none.
    using Conversion = std::function<std::optional<Reading>(const std::string& text)>;

    HotLinkSource(ILinkClient& link, ILinkClient::Address address, Conversion convert);

    // A program that does not answer, or goes away, is watched for: appeared tells when it is
    // back.
    void start() override;
    // The link stays open until another source replaces it; its values are dropped meanwhile.
    void stop() override { active_ = false; }
    void close() override;

private:
    void watch();

    ILinkClient& link_;
    ILinkClient::Address address_;
    Conversion convert_;
    bool active_ = false;
};

// Commander: item "XmitFreq" of topic "DDEServer" of "CI-V Commander", the kHz as text.
std::unique_ptr<FrequencySource> makeCommanderSource(ILinkClient& link);
// HRD: item "HRD_HERTZ" of topic "HRD_CAT" of "HRD_RADIO_000", the Hz as text; the number at
// the start of the text counts, none is 0.
std::unique_ptr<FrequencySource> makeHrdSource(ILinkClient& link);

} // namespace veltaro
