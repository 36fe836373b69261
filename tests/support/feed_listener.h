// A listener of the state feed for tests: tools/feed_listen.py run in the background on a port
// of the system's choosing, its lines read as they come (one per datagram: the fields as
// "name=value" separated by tabs, or "invalid: ..." / "gap: A -> B"). Give the program under
// test 127.0.0.1:port() as its [Feed] Address, then wait for lines.
#pragma once

#include "test_support.h"

namespace veltaro::support {

class FeedListener {
public:
    // Extra arguments go to the tool: "--host", "0.0.0.0" for broadcast, "--count", "N", ...
    explicit FeedListener(const QStringList& extra = {})
        : child_("python3", QStringList{VELTARO_FEED_LISTEN, "--port", "0"} + extra) {
        waitUntil([this] { return !child_.lines().isEmpty(); }, 10000);
        const QStringList first = child_.lines().value(0).split(' ');
        if (first.value(0) == "listening")
            port_ = first.value(1).toUShort();
    }
    quint16 port() const { return port_; } // 0 when the tool did not start
    // The lines after "listening", once there are n of them (fewer after ms).
    QStringList waitForLines(int n, int ms = 10000) {
        waitUntil([&] { return child_.lines().size() > n; }, ms);
        return child_.lines().mid(1);
    }

private:
    Child child_;
    quint16 port_ = 0;
};

} // namespace veltaro::support
