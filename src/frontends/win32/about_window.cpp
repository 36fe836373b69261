#include "frontends/win32/about_window.h"

#include "base/identity.h"
#include "frontends/win32/control_windows.h"
#include "frontends/win32/resource.h"

#include <exception>

namespace veltaro::win32 {

AboutWindow::AboutWindow(HINSTANCE instance, AboutPlatform platform, std::function<void()> closed)
    : closed_(std::move(closed)), box_(platform, [this] {
          if (hwnd_)
              DestroyWindow(hwnd_);
      }) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = forwardToWindow<AboutWindow>;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc); // fails harmlessly when already registered

    // The client area as described, its corner at the described place on the screen; the frame
    // and the title bar come around it.
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    const layout::WindowSpec& design = box_.layout();
    const RECT client = Scale::ofScreen().pixels(
        {layout::AboutScreenLeft, layout::AboutScreenTop, design.clientWidth, design.clientHeight});
    RECT outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    hwnd_ = CreateWindowExA(exStyle, ClassName, box_.title().c_str(), style, outer.left, outer.top,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                            instance, this);

    controls_ = std::make_unique<ControlWindows>(
        hwnd_, design, box_.controls(), [this](layout::Command c) { box_.run(c); },
        LoadIconA(instance, MAKEINTRESOURCEA(IDI_ABOUT)));
    box_.titleChanged().subscribe([this] {
        if (hwnd_)
            SetWindowTextA(hwnd_, box_.title().c_str());
    });
    box_.load();
}

AboutWindow::~AboutWindow() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0); // destroyed here, not closed by the user
        DestroyWindow(hwnd_);
    }
}

HWND AboutWindow::control(std::string_view name) const {
    return hwnd_ && controls_ ? controls_->window(name) : nullptr;
}

void AboutWindow::show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    if (!IsChild(hwnd_, GetFocus()))
        SetFocus(GetNextDlgTabItem(hwnd_, nullptr, FALSE));
}

LRESULT AboutWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Nothing may unwind through user32.
    try {
        switch (msg) {
        case WM_COMMAND:
            if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) // Enter and Esc
                box_.run(layout::Command::Ok);
            else if (controls_)
                controls_->command(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            if (controls_)
                controls_->paintLines(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_PRINTCLIENT:
            if (controls_)
                controls_->paintLines(reinterpret_cast<HDC>(wp));
            return 0;
        case WM_CLOSE:
            box_.run(layout::Command::Ok); // any way of closing is OK
            return 0;
        case WM_DESTROY: {
            HWND h = hwnd_;
            hwnd_ = nullptr;
            SetWindowLongPtrA(h, GWLP_USERDATA, 0);
            if (closed_)
                closed_();
            return 0;
        }
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
