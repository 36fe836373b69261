// The main window's logic wired to fakes, with Commander and HRD answering.
#pragma once

#include "fakes.h"
#include "net_fakes.h"
#include "shell/main_window.h"

#include <memory>

namespace veltaro::test {

struct MainRig {
    explicit MainRig(NumberFormat fmt = {'.'}) : fmt_(fmt) {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7074000";
    }
    MainWindow& window() {
        if (!main_)
            main_ = std::make_unique<MainWindow>(
                MainWindowPlatform{serial, settings, files, link, automation, network, clock, host,
                                   dialogs, system, help, fmt_});
        return *main_;
    }
    MainWindow& load() {
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

    fake::Journal journal;
    fake::SerialLine serial{&journal};
    fake::SettingsStore settings{&journal};
    fake::FileSystem files;
    fake::LinkClient link{&journal};
    fake::Automation automation;
    FakeNetwork network;
    FakeClock clock;
    fake::WindowHost host;
    fake::Dialogs dialogs;
    fake::System system;
    fake::Help help;

private:
    NumberFormat fmt_;
    std::unique_ptr<MainWindow> main_;
};

} // namespace veltaro::test
