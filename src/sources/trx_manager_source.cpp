#include "sources/trx_manager_source.h"

#include "platform/errors.h"
#include "relay/convert.h"

namespace veltaro {

void TrxManagerSource::start() {
    active_ = false;
    client_.connect();
    active_ = true;
}

void TrxManagerSource::close() {
    active_ = false;
    client_.disconnect();
}

void TrxManagerSource::poll() {
    if (!active_)
        return;
    double mhz = 0;
    try {
        mhz = roundTo15Digits(client_.frequencyMHz());
    } catch (const Error&) {
        return;
    }
    deliver(Reading::megahertz(mhz));
    system_.Sleep(0);
}

} // namespace veltaro
