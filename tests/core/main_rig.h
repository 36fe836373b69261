// A main window wired to fakes.
#pragma once

#include "fakes.h"
#include "shell/frm_main.h"

#include <memory>

namespace veltaro::test {

struct MainRig {
    explicit MainRig(NumberFormat fmt = {'.'}) : fmt_(fmt) {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7074000";
    }
    frmMain& form() {
        if (!form_)
            form_ = std::make_unique<frmMain>(MainPlatform{
                serial, settings, files, link, automation, window, dialogs, system, help, fmt_});
        return *form_;
    }
    frmMain& load() {
        form().Form_Load();
        return *form_;
    }
    std::string pegasus() const {
        auto it = files.files.find("/prog/PEGASUS.OUT");
        return it == files.files.end() ? "<none>" : it->second;
    }
    int savesOf(const std::string& key) const {
        int n = 0;
        for (const auto& w : settings.writes)
            n += w.rfind(key + "=", 0) == 0;
        return n;
    }
    void noCommanderServer() { link.servers.erase("CI-V Commander|DDEServer"); }
    void noHrdServer() { link.servers.erase("HRD_RADIO_000|HRD_CAT"); }

    fake::Journal journal;
    fake::SerialPort serial{&journal};
    fake::SettingsStore settings{&journal};
    fake::FileSystem files;
    fake::LinkClient link{&journal};
    fake::Automation automation;
    fake::WindowHost window;
    fake::Dialogs dialogs;
    fake::System system;
    fake::Help help;

private:
    NumberFormat fmt_;
    std::unique_ptr<frmMain> form_;
};

} // namespace veltaro::test
