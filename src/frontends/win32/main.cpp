// veltaro.exe: builds the Windows adapters, the relay session, the main window and its model,
// loads it and runs the message loop until the main window and the About window have both
// closed.
#include "adapters/win32/com_automation.h"
#include "adapters/win32/dde_link_client.h"
#include "adapters/win32/modem_line_win32.h"
#include "adapters/win32/network_win32.h"
#include "adapters/win32/registry_win32.h"
#include "adapters/win32/serial_line_win32.h"
#include "adapters/win32/system_win32.h"
#include "adapters/win32/timers_win32.h"
#include "app/relay_session.h"
#include "frontends/win32/dialogs_win32.h"
#include "frontends/win32/main_window.h"
#include "ports/clock.h"
#include "view/about_box.h"
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
        Win32Timers timers;
        Win32Dialogs dialogs;
        Win32Manual manual;
        Win32SystemInfoLocator locator;
        Win32Launcher launcher;
        Win32MainWindow window(instance, veltaro::AboutPlatform{locator, launcher, dialogs});
        dialogs.setOwner(window.hwnd());
        manual.setOwner(window.hwnd());
        Win32ModemLine interlockLine;
        veltaro::RelaySession session({serial, settings, files, link, automation, network, clock,
                                       timers, numberFormatFromLocale(), &interlockLine});
        veltaro::MainWindowModel model(session, {window, dialogs, manual});
        window.attach(model);
        model.load();
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
        model.unload();
        // Boxes posted as the window closed (the settings not saved, say).
        dialogs.showPosted();
    }
    CoUninitialize();
    return rc;
}
