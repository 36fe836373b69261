// Responsibilities: TRX-Manager's automation server FTLink through COM. connect makes an instance
// of the FTLink class for its server interface, calls the entry at place 7 (an object), asks that
// object for the frequency interface and subscribes a do-nothing sink to its notification
// connection point (a missing connection point is ignored); frequencyMHz calls the entry at place
// 246 (a double, MHz). With Launch::RunningOnly no server is ever started: the running one is
// taken from the running object table, or, where it did not put itself there, found by the
// registered server's image among the running processes before the instance is made (which then
// attaches to its class object). Entries are called through the vtable with the dual-interface
// convention: HRESULT, result as last out-parameter. Holds the server and the frequency object
// until disconnect or the next connect. Failures are LinkErrors in plain words.
// Collaborations: implements IAutomationClient for sources/trx_manager_source. COM must be
// initialised (apartment-threaded) on the calling thread by the front end, and stay so while
// anything is held.
#pragma once

#include "ports/automation.h"

struct IUnknown;

namespace veltaro::win32 {

class ComAutomationClient : public IAutomationClient {
public:
    ComAutomationClient() = default;
    ~ComAutomationClient() override;
    ComAutomationClient(const ComAutomationClient&) = delete;
    ComAutomationClient& operator=(const ComAutomationClient&) = delete;

    void connect(Launch launch) override;
    double frequencyMHz() override;
    void disconnect() override;

private:
    // Makes the objects into this empty client; what it made is released with it on failure.
    void make(Launch launch);
    // Takes or makes the server object.
    void attach(Launch launch);
    void subscribe();

    IUnknown* server_ = nullptr;
    IUnknown* trx_ = nullptr;
    IUnknown* point_ = nullptr; // the notification connection point, while subscribed
    unsigned long cookie_ = 0;
};

} // namespace veltaro::win32
