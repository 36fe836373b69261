// The real Win32 window around the core's main window, with fakes for the rest of the platform;
// Commander and HRD answer.
#pragma once

#include "core/fakes.h"
#include "platform/win32/main_window.h"
#include "shell/main_window.h"

#include <string_view>

namespace wintest {

struct Station {
    veltaro::fake::SettingsStore settings;
    veltaro::fake::SerialLine serial;
    veltaro::fake::FileSystem files;
    veltaro::fake::LinkClient link;
    veltaro::fake::Automation automation;
    veltaro::fake::Dialogs dialogs;
    veltaro::fake::System system;
    veltaro::fake::Help help;
    veltaro::fake::Launcher launcher;
    veltaro::fake::SystemInfoLocator locator; // finds nothing
    veltaro::win32::MainWindow window{GetModuleHandleA(nullptr), {locator, launcher, dialogs}};
    veltaro::MainWindow core{{serial, settings, files, link, automation, window, dialogs, system,
                              help, veltaro::NumberFormat{'.'}}};

    Station() {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7074000";
        window.attach(core);
    }
    // The program's start.
    Station& start() {
        core.load();
        return *this;
    }
    HWND hwnd() const { return window.hwnd(); }
    HWND control(const char* name) const { return window.control(name); }
    // What the user does: a click on a box or button, the menu item of the caption.
    void click(const char* name) const { SendMessageA(control(name), BM_CLICK, 0, 0); }
    void menu(const char* caption) const {
        if (const UINT id = menuItem(GetMenu(hwnd()), caption))
            SendMessageA(hwnd(), WM_COMMAND, id, 0);
    }
    static UINT menuItem(HMENU m, const char* caption) {
        for (int i = 0; i < GetMenuItemCount(m); ++i) {
            char text[64] = {};
            GetMenuStringA(m, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
            if (HMENU sub = GetSubMenu(m, i)) {
                if (const UINT id = menuItem(sub, caption))
                    return id;
            } else if (std::string_view(text) == caption) {
                return GetMenuItemID(m, i);
            }
        }
        return 0;
    }
};

} // namespace wintest
