// The relay session alone, without a window, its port COM1 open, with an observer that keeps what
// a window would show (the received and relayed kHz, the relayed MHz text, the last command's
// outcome, the notices) and tells the journal when it is told. Readings come from Commander
// (kHz text) or TRX-Manager (MHz, polled).
#pragma once

#include "main_rig.h"

#include <optional>
#include <string>
#include <vector>

namespace veltaro::test {

struct Shown : SessionObserver {
    explicit Shown(fake::Journal& j) : journal(j) {}
    void commandSent(const ControllerLink::SendOutcome& o, const std::string& text) override {
        outcome = o;
        mhzText = text;
        journal.add("told command " + o.command);
    }
    void readingTaken(std::int32_t receivedKHz, std::int32_t relayedKHz) override {
        received = std::to_string(receivedKHz);
        relayed = std::to_string(relayedKHz);
        journal.add("told reading " + received);
    }
    void noticed(const Notice& notice) override { notices.push_back(notice.text); }

    fake::Journal& journal;
    std::string received = "0", relayed = "0", mhzText;
    std::optional<ControllerLink::SendOutcome> outcome;
    std::vector<std::string> notices;
};

struct TrackerRig : MainRig {
    explicit TrackerRig(NumberFormat fmt = {'.'}) : MainRig(fmt) {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = ""; // 0 kHz: nothing relayed
        settings.set("CheckCommander", "1");
        session().addObserver(shown);
        session().start();
        journal.entries.clear();
    }
    void commander(const std::string& text) {
        // A link made afresh delivers the server's value at once.
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = text;
        if (session().chosen() != SourceId::Commander)
            session().choose(SourceId::Commander);
        else
            link.advise(text);
    }
    void megahertz(double mhz) {
        automation.frequency = mhz;
        if (session().chosen() != SourceId::TrxManager)
            session().choose(SourceId::TrxManager);
        elapse(RelaySession::PollIntervalMs);
    }

    Shown shown{journal};
};

} // namespace veltaro::test
