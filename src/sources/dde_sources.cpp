#include "sources/dde_sources.h"

#include "platform/errors.h"
#include "relay/convert.h"

#include <utility>

namespace veltaro {

void RunTrackerStep(const std::function<void()>& step, FailureNotice& notice, Tracker& tracker) {
    const auto relaysBefore = tracker.Relays;
    try {
        step();
        if (tracker.Relays != relaysBefore)
            notice.clear();
    } catch (const FileError& e) {
        notice.report(e.what());
    } catch (const PortError& e) {
        notice.report(e.what());
    } catch (const Error&) {
        // A reading that is not a number or out of range changes nothing that is shown.
    }
}

DdeSources::DdeSources(CheckBox& CheckCommander, CheckBox& CheckHRD, CheckBox& CheckTRX,
                       TextBox& Text1, Timer& Timer1, ILinkClient& link, Tracker& tracker,
                       NumberFormat fmt, std::function<void()> saveAllSettings,
                       FailureNotice& fileNotice)
    : commander_(CheckCommander), hrd_(CheckHRD), trx_(CheckTRX), text1_(Text1), timer1_(Timer1),
      link_(link), tracker_(tracker), fmt_(fmt), save_(std::move(saveAllSettings)),
      fileNotice_(fileNotice) {}

void DdeSources::SetUpLink(const LinkDescriptor& d) {
    link_.setLinkMode(0);
    link_.setLinkTopic(d.topic);
    link_.setLinkItem(d.item);
    link_.setLinkMode(1);
}

void DdeSources::boxClick(CheckBox& self, CheckBox& other, const LinkDescriptor& d) {
    try {
        if (self.value() == 1) {
            trx_.setValue(0);
            other.setValue(0);
            SetUpLink(d);
            timer1_.setEnabled(false);
        }
        save_();
    } catch (const Error&) {
        // No server answered: the box stays ticked, nothing is saved, nothing is shown.
    }
}

void DdeSources::CheckCommander_Click() {
    boxClick(commander_, hrd_, CommanderLink);
}
void DdeSources::CheckHRD_Click() {
    boxClick(hrd_, commander_, HrdLink);
}

void DdeSources::Text1_Change() {
    if (commander_.value() == 1) {
        tracker_.CommanderFreq = text1_.text();
        timer1_.setEnabled(false);
        RunTrackerStep([this] { tracker_.UpdateFromCommander(); }, fileNotice_, tracker_);
    } else if (hrd_.value() == 1) {
        try {
            tracker_.HrdFreq = formatDecimal15(leadingNumber(text1_.text()) / 1000000.0, fmt_);
        } catch (const Error&) {
            return; // a number too large for a double: nothing to relay
        }
        timer1_.setEnabled(false);
        RunTrackerStep([this] { tracker_.UpdateFromHRD(); }, fileNotice_, tracker_);
    }
}

void DdeSources::Relink() {
    if (hrd_.value() == 1) {
        try {
            SetUpLink(HrdLink);
        } catch (const Error&) {
        }
    }
    if (commander_.value() == 1) {
        try {
            SetUpLink(CommanderLink);
        } catch (const Error&) {
        }
    }
}

} // namespace veltaro
