// TRX-Manager, reached through its automation server and polled on every tick of the poll
// timer for the radio's frequency in MHz.
#pragma once

#include "platform/automation.h"
#include "platform/system.h"
#include "sources/frequency_source.h"

namespace veltaro {

class TrxManagerSource : public FrequencySource {
public:
    static constexpr const char* UnavailableText =
        "TRX-Manager is not available. Start TRX-Manager, then tick TRX-Manager again.";

    TrxManagerSource(IAutomationClient& client, ISystem& system)
        : client_(client), system_(system) {}

    // Makes the server's objects afresh.
    void start() override;
    // The objects are kept until the next start or the window closes.
    void stop() override { active_ = false; }
    void close() override;
    bool polled() const override { return true; }
    // Reads the frequency and gives up the rest of the time slice; a failed read is skipped.
    void poll() override;

private:
    IAutomationClient& client_;
    ISystem& system_;
    bool active_ = false;
};

} // namespace veltaro
