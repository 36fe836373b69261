// Responsibilities: the link to TRX-Manager's automation server: make the server's objects,
// read the radio's frequency in MHz, let the objects go.
// Collaborations: sources/trx_manager_source polls through it; adapters/qt implements it over
// the D-Bus stand-in (docs/linux-links.md), adapters/win32 over COM (the class, its interfaces
// and the notification subscription stay inside that adapter); tests use a fake.
#pragma once

#include <functional>

namespace veltaro {

class IAutomationClient {
public:
    virtual ~IAutomationClient() = default;

    enum class Launch { Allowed, RunningOnly };
    // Makes the server's objects afresh, letting go of any held before. With RunningOnly, only
    // a server that is already running is taken: nothing is started. Raises LinkError when the
    // server cannot be reached; nothing is held then.
    virtual void connect(Launch launch) = 0;
    // The radio's frequency in MHz. Raises LinkError when nothing is held or the call fails
    // (the server ended or let go of its clients).
    virtual double frequencyMHz() = 0;
    virtual void disconnect() = 0;
    // While nothing is held: onAppeared runs (from the event loop) when the server appears,
    // where the platform tells; connect() and disconnect() end the watch.
    // NOLINTNEXTLINE(performance-unnecessary-value-param): overrides keep the handler
    virtual void watch(std::function<void()> onAppeared) { (void)onAppeared; }
};

} // namespace veltaro
