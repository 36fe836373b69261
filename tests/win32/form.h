// The main window's logic built from fakes around the real parts given, for the front-end tests.
#pragma once

#include "core/fakes.h"
#include "shell/frm_main.h"
#include "support.h"

#include <memory>

namespace wintest {

// A main form from the real parts given and fakes for the rest.
struct Form {
    veltaro::fake::SettingsStore settings;
    veltaro::fake::FileSystem files;
    veltaro::fake::WindowHost window;
    veltaro::fake::Dialogs dialogs;
    veltaro::fake::System system;
    veltaro::fake::Help help;
    veltaro::fake::SerialLine serial;
    veltaro::fake::LinkClient link;
    veltaro::fake::Automation automation;
    std::unique_ptr<veltaro::frmMain> main;

    veltaro::frmMain& build(veltaro::ISerialLine* s = nullptr, veltaro::ILinkClient* l = nullptr,
                            veltaro::IAutomationClient* a = nullptr,
                            veltaro::IWindowHost* host = nullptr) {
        main = std::make_unique<veltaro::frmMain>(veltaro::MainPlatform{
            s ? *s : serial, settings, files, l ? *l : link, a ? *a : automation,
            host ? *host : window, dialogs, system, help, veltaro::NumberFormat{'.'}});
        return *main;
    }
};

} // namespace wintest
