#include "sources/trx_source.h"

#include "about/app_identity.h"
#include "platform/errors.h"
#include "relay/convert.h"
#include "sources/dde_sources.h"

#include <utility>

namespace veltaro {

TrxSource::TrxSource(CheckBox& CheckTRX, CheckBox& CheckCommander, CheckBox& CheckHRD,
                     Timer& Timer1, IAutomationClient& automation, ISystem& system,
                     IDialogs& dialogs, Tracker& tracker, NumberFormat fmt,
                     std::function<void()> saveAllSettings, FailureNotice& fileNotice)
    : trx_(CheckTRX), commander_(CheckCommander), hrd_(CheckHRD), timer1_(Timer1),
      automation_(automation), system_(system), dialogs_(dialogs), tracker_(tracker), fmt_(fmt),
      save_(std::move(saveAllSettings)), fileNotice_(fileNotice) {}

void TrxSource::CheckTRX_Click() {
    if (trx_.value() == 1) {
        commander_.setValue(0);
        hrd_.setValue(0);
        try {
            TrxServer = automation_.createTrxServer();
            auto first = TrxServer->firstObject();
            TRX = first->queryTrx();
            timer1_.setEnabled(true);
        } catch (const Error&) {
            // The box stays ticked so that the choice survives; ticking it again retries.
            dialogs_.messageBox(NotAvailableText, app::Title);
            return;
        }
    }
    save_();
}

void TrxSource::Timer1_Timer() {
    // Only the ticked TRX-Manager box drives the antenna.
    if (trx_.value() != 1 || !TRX)
        return;
    try {
        const double mhz = TRX->frequency();
        tracker_.TrxFreq = formatDecimal15(mhz, fmt_);
    } catch (const Error&) {
        return;
    }
    bool completed = false;
    RunTrackerStep(
        [&] {
            tracker_.UpdateFromTRX();
            completed = true;
        },
        fileNotice_, tracker_);
    if (completed)
        system_.Sleep(0);
}

} // namespace veltaro
