#include "sources/trx_manager_source.h"

#include "base/errors.h"
#include "base/numbers.h"

#include <optional>
#include <thread>

namespace veltaro {

void TrxManagerSource::link(IAutomationClient::Launch launch) {
    active_ = true;
    linked_ = false;
    try {
        client_.connect(launch);
    } catch (const LinkError&) {
        watch();
        throw;
    }
    linked_ = true;
}

void TrxManagerSource::watch() {
    client_.watch([this] {
        if (active_ && !linked_)
            reportAppeared();
    });
}

void TrxManagerSource::close() {
    active_ = false;
    linked_ = false;
    client_.disconnect();
}

void TrxManagerSource::poll() {
    if (!active_ || !linked_)
        return;
    std::optional<double> mhz;
    try {
        mhz = roundTo15Digits(client_.frequencyMHz());
    } catch (const LinkError& e) {
        // The server ended or let go of its clients: the link is lost, not the reading.
        linked_ = false;
        client_.disconnect();
        watch();
        reportLost(e.what());
        return;
    } catch (const Error&) {
        return; // a value the server could not give is skipped
    }
    if (!mhz)
        return; // nor is one that cannot be relayed
    deliver(Reading::megahertz(*mhz));
    // What the old automation server expects of its clients: the rest of the time slice is
    // given up after each reading.
    std::this_thread::yield();
}

} // namespace veltaro
