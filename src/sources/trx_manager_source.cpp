#include "sources/trx_manager_source.h"

#include "platform/errors.h"
#include "relay/convert.h"

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
    double mhz = 0;
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
        return; // a value that cannot be relayed is skipped
    }
    deliver(Reading::megahertz(mhz));
    system_.Sleep(0);
}

} // namespace veltaro
