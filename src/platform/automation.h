// Responsibilities: the automation calls made on TRX-Manager's server FTLink: create the server
// object, call its first operation, ask the result for the frequency interface (subscribing to
// its notifications), and read the frequency in MHz.
// Collaborations: sources/trx_source drives it; implemented by platform/qt (D-Bus stand-in,
// docs/linux-links.md), platform/win32 (COM) and by fakes. Objects returned keep whatever they
// need alive themselves, so each may outlive the object that produced it.
#pragma once

#include <memory>

namespace veltaro {

// The object behind interface {9FC1B9EC-0558-11D2-9FFC-98D048BDA37B}.
class ITrxObject {
public:
    virtual ~ITrxObject() = default;
    // Entry at place 246: the radio's frequency in MHz. Raises LinkError on any failure.
    virtual double frequency() = 0;
};

// The object returned by the server's first operation.
class IAutomationObject {
public:
    virtual ~IAutomationObject() = default;
    // QueryInterface for the frequency interface, plus the notification subscription.
    virtual std::unique_ptr<ITrxObject> queryTrx() = 0;
};

// The server object of class {AD389A93-FD1A-11D1-9FFC-8703DD3BB166}.
class ITrxServer {
public:
    virtual ~ITrxServer() = default;
    // Entry at place 7.
    virtual std::unique_ptr<IAutomationObject> firstObject() = 0;
};

class IAutomationClient {
public:
    virtual ~IAutomationClient() = default;
    // Creates an instance of the FTLink class. Raises LinkError when that fails.
    virtual std::unique_ptr<ITrxServer> createTrxServer() = 0;
};

} // namespace veltaro
