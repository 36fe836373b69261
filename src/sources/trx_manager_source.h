// TRX-Manager, reached through its automation server and polled on every tick of the poll
// timer for the radio's frequency in MHz. While it cannot be reached, the server is watched for
// where the platform can tell when it appears.
#pragma once

#include "ports/automation.h"
#include "sources/frequency_source.h"

namespace veltaro {

class TrxManagerSource : public FrequencySource {
public:
    static constexpr const char* UnavailableText =
        "TRX-Manager is not available. Veltaro links to it as soon as it runs.";

    explicit TrxManagerSource(IAutomationClient& client) : client_(client) {}

    // Makes the server's objects afresh, starting the server when it is not running.
    void start() override { link(IAutomationClient::Launch::Allowed); }
    // Takes a running server only: a retry never starts the program.
    void restart() override { link(IAutomationClient::Launch::RunningOnly); }
    // The objects are kept until the next start or the window closes.
    void stop() override { active_ = false; }
    void close() override;
    bool polled() const override { return true; }
    // Reads the frequency and gives up the rest of the time slice. A read that fails because
    // the server is gone loses the link; any other failed read is skipped.
    void poll() override;

private:
    void link(IAutomationClient::Launch launch);
    void watch();

    IAutomationClient& client_;
    bool active_ = false; // between start and stop
    bool linked_ = false; // the server's objects are held
};

} // namespace veltaro
