// Responsibilities: TRX-Manager's automation server FTLink through COM: CoCreateInstance of the
// FTLink class for its server interface, the entry at place 7 (an object), QueryInterface for the
// frequency interface with a do-nothing sink on its notification connection point (a missing
// connection point is ignored), and the entry at place 246 (a double, MHz). Entries are called
// through the vtable with the dual-interface convention: HRESULT, result as last out-parameter.
// Collaborations: implements IAutomationClient for sources/trx_source. COM must be initialised
// (apartment-threaded) on the calling thread by the front end.
#pragma once

#include "platform/automation.h"

#include <memory>

namespace veltaro::win32 {

class ComAutomationClient : public IAutomationClient {
public:
    std::unique_ptr<ITrxServer> createTrxServer() override;
};

} // namespace veltaro::win32
