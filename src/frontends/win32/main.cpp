// veltaro.exe: builds the Windows adapters, the main window and its logic, loads it and runs the
// message loop until the main window and the About window have both closed.
#include "view/about_box.h"
#include "ports/clock.h"
#include "adapters/win32/com_automation.h"
#include "adapters/win32/dde_link_client.h"
#include "frontends/win32/main_window.h"
#include "adapters/win32/network_win32.h"
#include "adapters/win32/system_win32.h"
#include "adapters/win32/registry_win32.h"
#include "adapters/win32/serial_line_win32.h"
#include "view/main_window_model.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

using namespace veltaro::win32;

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The tooltips are among the bar classes.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    int rc = 0;
    {
        Win32SerialLine serial;
        RegistrySettingsStore settings;
        Win32FileSystem files;
        DdeLinkClient link;
        ComAutomationClient automation;
        Win32Network network;
        veltaro::SteadyClock clock;
        Win32Dialogs dialogs;
        Win32System system;
        Win32Help help;
        Win32SystemInfoLocator locator;
        Win32Launcher launcher;
        MainWindow window(instance, veltaro::AboutPlatform{locator, launcher, dialogs});
        dialogs.setOwner(window.hwnd());
        help.setOwner(window.hwnd());
        veltaro::MainWindow core(
            veltaro::MainWindowPlatform{serial, settings, files, link, automation, network, clock,
                                        window, dialogs, system, help, numberFormatFromLocale()});
        window.attach(core);
        core.load();
        if (!IsWindowVisible(window.hwnd()))
            ShowWindow(window.hwnd(), show == SW_HIDE ? SW_SHOWNORMAL : show);

        MSG msg{};
        while (!window.finished() && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (window.preTranslate(msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // The loop may end on the message that closed the last window rather than on WM_QUIT.
        rc = msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
        // Done already, unless a WM_QUIT from elsewhere ended the loop.
        core.unload();
        // Boxes posted as the window closed (the settings not saved, say).
        dialogs.showPosted();
    }
    CoUninitialize();
    return rc;
}
