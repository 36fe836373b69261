// Responsibilities: the link to TRX-Manager's automation server: make the server's objects,
// read the radio's frequency in MHz, let the objects go.
// Collaborations: sources/trx_manager_source polls through it; platform/qt implements it over
// the D-Bus stand-in (docs/linux-links.md), platform/win32 over COM (the class, its interfaces
// and the notification subscription stay inside that adapter); tests use a fake.
#pragma once

namespace veltaro {

class IAutomationClient {
public:
    virtual ~IAutomationClient() = default;

    // Makes the server's objects afresh, letting go of any held before. Raises LinkError when
    // the server cannot be reached; nothing is held then.
    virtual void connect() = 0;
    // The radio's frequency in MHz. Raises LinkError when nothing is held or the call fails.
    virtual double frequencyMHz() = 0;
    virtual void disconnect() = 0;
};

} // namespace veltaro
