#include "platform/win32/about_window.h"

#include "about/app_identity.h"
#include "platform/win32/main_window.h"
#include "platform/win32/resource.h"

#include <cmath>

namespace veltaro::win32 {

namespace {

enum Id {
    IdPicIcon = 300,
    IdLblTitle,
    IdLblVersion,
    IdLblDescription,
    IdLblDisclaimer,
    IdCmdSysInfo,
};

constexpr double ClientWidth = 5730;
constexpr double ClientHeight = 3555;
constexpr double ScreenLeft = 2340;
constexpr double ScreenTop = 1935;

} // namespace

AboutWindow::AboutWindow(HINSTANCE instance, AboutPlatform platform, std::function<void()> closed)
    : instance_(instance), closed_(std::move(closed)) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc); // fails harmlessly when already registered

    HDC screen = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);

    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    const DWORD exStyle = WS_EX_DLGMODALFRAME;
    // The client area as designed, its corner at the designed screen place; the frame and the
    // title bar around it.
    const int left = px(ScreenLeft, false), top = px(ScreenTop, true);
    RECT outer{left, top, left + px(ClientWidth, false), top + px(ClientHeight, true)};
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    hwnd_ = CreateWindowExA(exStyle, ClassName, "About MyApp", style, outer.left, outer.top,
                            outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr,
                            instance, this);
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    font_ = SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)
                ? CreateFontIndirectA(&ncm.lfMessageFont)
                : nullptr;

    // Created in tab order.
    child("BUTTON", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, IDOK, 4245, 2625, 1260, 345);
    HWND icon = child("STATIC", "", SS_ICON, IdPicIcon, 240, 240, 540, 540);
    SendMessageA(icon, STM_SETICON,
                 reinterpret_cast<WPARAM>(LoadIconA(instance, MAKEINTRESOURCEA(IDI_ABOUT))), 0);
    child("BUTTON", "&System Info...", BS_PUSHBUTTON | WS_TABSTOP, IdCmdSysInfo, 4260, 3075, 1245,
          345);
    form_ = std::make_unique<frmAbout>(platform, [this] { DestroyWindow(hwnd_); });
    child("STATIC", form_->lblDescription.caption().c_str(), SS_LEFT, IdLblDescription, 1050, 840,
          3885, 1410);
    child("STATIC", form_->lblDisclaimer.caption().c_str(), SS_LEFT, IdLblDisclaimer, 255, 2625,
          3870, 825);
    child("STATIC", "Veltaro", SS_LEFT | SS_NOPREFIX, IdLblTitle, 1050, 240, 3885, 240);
    child("STATIC", "Version 1.2.2", SS_LEFT | SS_NOPREFIX, IdLblVersion, 1050, 480, 3885, 225);

    auto mirror = [this](Label& l, int id) {
        l.subscribe([this, &l, id] { SetDlgItemTextA(hwnd_, id, l.caption().c_str()); });
    };
    mirror(form_->lblTitle, IdLblTitle);
    mirror(form_->lblVersion, IdLblVersion);
    mirror(form_->lblDescription, IdLblDescription);
    mirror(form_->lblDisclaimer, IdLblDisclaimer);
    form_->Caption.subscribe([this] { SetWindowTextA(hwnd_, form_->Caption.text().c_str()); });
    form_->Form_Load();
}

AboutWindow::~AboutWindow() {
    if (hwnd_ && IsWindow(hwnd_)) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
    if (font_)
        DeleteObject(font_);
}

int AboutWindow::px(double twips, bool vertical) const {
    return twipsToPixels(twips, vertical ? dpiY_ : dpiX_);
}

HWND AboutWindow::child(const char* cls, const char* text, DWORD style, int id, double l, double t,
                        double w, double h) {
    HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, px(l, false), px(t, true),
                             px(w, false), px(h, true), hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    if (font_)
        SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return c;
}

void AboutWindow::show() {
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
}

void AboutWindow::paintSeparator(HDC dc) {
    // Grey line one pixel wide, white line two pixels wide 15 twips below it.
    HPEN grey = CreatePen(PS_SOLID, 1, RGB(128, 128, 128));
    HPEN white = CreatePen(PS_SOLID, 2, RGB(255, 255, 255));
    HGDIOBJ old = SelectObject(dc, grey);
    MoveToEx(dc, px(90, false), px(2445, true), nullptr);
    LineTo(dc, px(5654, false), px(2445, true));
    SelectObject(dc, white);
    MoveToEx(dc, px(105, false), px(2460, true), nullptr);
    LineTo(dc, px(5654, false), px(2460, true));
    SelectObject(dc, old);
    DeleteObject(grey);
    DeleteObject(white);
}

LRESULT CALLBACK AboutWindow::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<AboutWindow*>(cs->lpCreateParams)->hwnd_ = h;
    }
    auto* self = reinterpret_cast<AboutWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(h, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT AboutWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_COMMAND:
        switch (LOWORD(wp)) {
        case IDOK:
        case IDCANCEL: // Enter and Esc both act as OK
            form_->cmdOK_Click();
            return 0;
        case IdCmdSysInfo:
            form_->cmdSysInfo_Click();
            return 0;
        default:
            break;
        }
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        paintSeparator(dc);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_CLOSE:
        form_->cmdOK_Click(); // any way of closing unloads the dialog
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
    return DefWindowProcA(hwnd_, msg, wp, lp);
}

} // namespace veltaro::win32
