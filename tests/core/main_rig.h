// The relay session and the main window's model wired to fakes, with Commander and HRD
// answering.
#pragma once

#include "fakes.h"
#include "net_fakes.h"
#include "view/main_window_model.h"

#include <memory>

namespace veltaro::test {

struct MainRig {
    explicit MainRig(NumberFormat fmt = {'.'}) : fmt_(fmt) {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7074000";
        timers.clock = &clock.now;
    }
    RelaySession& session() {
        if (!session_)
            session_ = std::make_unique<RelaySession>(SessionPorts{serial, settings, files, link,
                                                                   automation, network, clock,
                                                                   timers, fmt_, &interlockLine});
        return *session_;
    }
    MainWindowModel& window() {
        if (!main_)
            main_ = std::make_unique<MainWindowModel>(session(),
                                                      MainWindowPorts{host, dialogs, manual});
        return *main_;
    }
    MainWindowModel& load() {
        window().load();
        return *main_;
    }
    Control& control(const char* name) { return window().control(name); }
    std::string pegasus() const {
        auto it = files.files.find("/prog/PEGASUS.OUT");
        return it == files.files.end() ? "<none>" : it->second;
    }
    void noCommanderServer() { link.servers.erase("CI-V Commander|DDEServer"); }
    void noHrdServer() { link.servers.erase("HRD_RADIO_000|HRD_CAT"); }
    // Lets the poll timer (and any other timer) run for ms.
    void elapse(std::int64_t ms) { timers.elapse(ms); }
    bool pollRuns() const { return timers.running(RelaySession::PollIntervalMs); }
    bool reopenRuns() const { return timers.running(RelaySession::ReopenIntervalMs); }

    fake::Journal journal;
    fake::SerialLine serial{&journal};
    fake::ModemLine interlockLine;
    fake::SettingsStore settings{&journal};
    fake::FileSystem files{&journal};
    fake::LinkClient link{&journal};
    fake::Automation automation;
    FakeNetwork network;
    FakeClock clock;
    fake::Timers timers;
    fake::WindowHost host;
    fake::Dialogs dialogs;
    fake::Manual manual;

private:
    NumberFormat fmt_;
    std::unique_ptr<RelaySession> session_;
    std::unique_ptr<MainWindowModel> main_;
};

} // namespace veltaro::test
