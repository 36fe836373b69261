// The relay session alone, without a window, its port COM1 open, with an observer that keeps what
// a window would show: the received and relayed kHz, the relayed MHz text, each command's outcome
// and the notices. Readings come from Commander (kHz text) or TRX-Manager (MHz, polled).
#pragma once

#include "main_rig.h"

#include <functional>
#include <string>
#include <vector>

namespace veltaro::test {

struct Shown : SessionObserver {
    void commandSent(const ControllerLink::SendOutcome& outcome, const std::string& text) override {
        if (atCommand)
            atCommand();
        outcomes.push_back(outcome);
        mhzText = text;
        events.push_back("command " + outcome.command);
    }
    void readingTaken(std::int32_t receivedKHz, std::int32_t relayedKHz) override {
        received = std::to_string(receivedKHz);
        relayed = std::to_string(relayedKHz);
        events.push_back("reading " + received);
    }
    void noticed(const Notice& notice) override { notices.push_back(notice.text); }

    std::function<void()> atCommand;
    std::string received = "0", relayed = "0", mhzText;
    std::vector<ControllerLink::SendOutcome> outcomes;
    std::vector<std::string> notices, events;
};

struct TrackerRig : MainRig {
    explicit TrackerRig(NumberFormat fmt = {'.'}) : MainRig(fmt) {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = ""; // 0 kHz: nothing relayed
        settings.set("CheckCommander", "1");
        session().addObserver(shown);
        session().start();
        shown.events.clear(); // the start's empty readings
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
    const FrequencyTracker& tracker() { return session().tracker(); }

    Shown shown;
};

} // namespace veltaro::test
