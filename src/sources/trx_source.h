// The TRX-Manager source: its box, the automation objects and the poll of Timer1.
#pragma once

#include "platform/automation.h"
#include "platform/controls.h"
#include "platform/dialogs.h"
#include "platform/system.h"
#include "relay/tracker.h"
#include "sources/failure_notice.h"

#include <functional>
#include <memory>

namespace veltaro {

class TrxSource {
public:
    TrxSource(CheckBox& CheckTRX, CheckBox& CheckCommander, CheckBox& CheckHRD, Timer& Timer1,
              IAutomationClient& automation, ISystem& system, IDialogs& dialogs, Tracker& tracker,
              NumberFormat fmt, std::function<void()> saveAllSettings, FailureNotice& fileNotice);

    void CheckTRX_Click();
    void Timer1_Timer();
    // Lets go of the automation objects; the next tick finds nothing to poll.
    void release() {
        TRX.reset();
        TrxServer.reset();
    }

    // Whether a tick has anything to do: the timer runs, the box is ticked, an object is held.
    bool polling() const { return timer1_.enabled() && TRX != nullptr && trx_.value() == 1; }

    std::unique_ptr<ITrxServer> TrxServer;
    std::unique_ptr<ITrxObject> TRX;

    static constexpr const char* NotAvailableText =
        "TRX-Manager is not available. Start TRX-Manager, then tick TRX-Manager again.";

private:
    CheckBox& trx_;
    CheckBox& commander_;
    CheckBox& hrd_;
    Timer& timer1_;
    IAutomationClient& automation_;
    ISystem& system_;
    IDialogs& dialogs_;
    Tracker& tracker_;
    NumberFormat fmt_;
    std::function<void()> save_;
    FailureNotice& fileNotice_;
};

} // namespace veltaro
