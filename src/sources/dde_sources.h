// The Commander and HRD source boxes, their DDE links on Text1 and the dispatch of each value
// the link delivers.
#pragma once

#include "platform/controls.h"
#include "platform/link_client.h"
#include "relay/tracker.h"
#include "sources/failure_notice.h"

#include <functional>
#include <string>

namespace veltaro {

struct LinkDescriptor {
    const char* topic;
    const char* item;
};
inline constexpr LinkDescriptor CommanderLink{"CI-V Commander|DDEServer", "XmitFreq"};
inline constexpr LinkDescriptor HrdLink{"HRD_RADIO_000|HRD_CAT", "HRD_HERTZ"};

class DdeSources {
public:
    DdeSources(CheckBox& CheckCommander, CheckBox& CheckHRD, CheckBox& CheckTRX, TextBox& Text1,
               Timer& Timer1, ILinkClient& link, Tracker& tracker, NumberFormat fmt,
               std::function<void()> saveAllSettings, FailureNotice& fileNotice);

    void CheckCommander_Click();
    void CheckHRD_Click();
    void Text1_Change();
    // The closing step of start-up: HRD, then Commander, each failure skipped.
    void Relink();

    // Sets up the link: LinkMode 0, topic, item, LinkMode 1 (delivers the current value).
    void SetUpLink(const LinkDescriptor& d);

private:
    void boxClick(CheckBox& self, CheckBox& other, const LinkDescriptor& d);

    CheckBox& commander_;
    CheckBox& hrd_;
    CheckBox& trx_;
    TextBox& text1_;
    Timer& timer1_;
    ILinkClient& link_;
    Tracker& tracker_;
    NumberFormat fmt_;
    std::function<void()> save_;
    FailureNotice& fileNotice_;
};

// Runs a tracker entry and meets its failure: a file error is told once per cause (the display
// has already been refreshed), a reading that is not a number or out of range is dropped.
void RunTrackerStep(const std::function<void()>& step, FailureNotice& fileNotice, Tracker& tracker);

} // namespace veltaro
