#include "frontends/win32/address_window.h"

#include "base/identity.h"
#include "frontends/win32/control_windows.h"
#include "view/address_dialog.h"

#include <exception>

namespace veltaro::win32 {

AddressWindow::AddressWindow(HINSTANCE instance, HWND owner, veltaro::AddressDialogModel& dialog)
    : owner_(owner), dialog_(dialog) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = forwardToWindow<AddressWindow>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc); // fails harmlessly when already registered

    // The described client area, centred over the owner; the frame comes around it.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    const layout::WindowSpec& design = dialog.layout();
    const Scale scale = Scale::ofScreen();
    RECT outer{0, 0, scale.pixelsX(design.clientWidth), scale.pixelsY(design.clientHeight)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    const int width = outer.right - outer.left, height = outer.bottom - outer.top;
    RECT over{};
    if (!owner || !GetWindowRect(owner, &over))
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &over, 0);
    hwnd_ = CreateWindowExA(
        exStyle, ClassName, dialog.title().c_str(), style, (over.left + over.right - width) / 2,
        (over.top + over.bottom - height) / 2, width, height, owner, nullptr, instance, this);
    controls_ = std::make_unique<ControlWindows>(hwnd_, design, dialog.controls(),
                                                 [this](layout::Command c) { dialog_.run(c); });
}

AddressWindow::~AddressWindow() {
    controls_.reset();
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void AddressWindow::run() {
    const bool ownerWasEnabled = owner_ && IsWindowEnabled(owner_);
    if (ownerWasEnabled)
        EnableWindow(owner_, FALSE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    if (HWND box = controls_->window("addressText")) {
        SetFocus(box);
        SendMessageA(box, EM_SETSEL, 0, -1);
    }
    MSG msg{};
    while (!dialog_.finished() && IsWindow(hwnd_)) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got <= 0) {
            if (got == 0)
                PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageA(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        // A message box owned by the owner (a refused address) enables it again as it closes.
        if (ownerWasEnabled && IsWindowEnabled(owner_))
            EnableWindow(owner_, FALSE);
    }
    // The owner comes back before the dialog goes, so that it takes the activation.
    if (ownerWasEnabled)
        EnableWindow(owner_, TRUE);
    if (IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
}

LRESULT AddressWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Nothing may unwind through user32.
    try {
        switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK && !lp) // Enter
                dialog_.run(layout::Command::Ok);
            else if (LOWORD(wp) == IDCANCEL && !lp) // Esc
                dialog_.run(layout::Command::Cancel);
            else if (controls_)
                controls_->command(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_CLOSE:
            dialog_.run(layout::Command::Cancel);
            return 0;
        default:
            break;
        }
    } catch (const std::exception& e) {
        MessageBoxA(hwnd_, e.what(), app::Title, MB_OK);
        return 0;
    } catch (...) {
        MessageBoxA(hwnd_, "Unexpected error", app::Title, MB_OK);
        return 0;
    }
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

} // namespace veltaro::win32
