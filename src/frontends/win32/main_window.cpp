#include "frontends/win32/main_window.h"

#include "base/identity.h"
#include "frontends/win32/about_window.h"
#include "frontends/win32/address_window.h"
#include "frontends/win32/control_windows.h"
#include "frontends/win32/resource.h"
#include "view/main_window_model.h"

#include <algorithm>
#include <exception>

namespace veltaro::win32 {

Win32MainWindow::Win32MainWindow(HINSTANCE instance, AboutPlatform about)
    : instance_(instance), aboutPlatform_(about), scale_(Scale::ofScreen()) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = forwardToWindow<Win32MainWindow>;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTARO));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc); // fails harmlessly when already registered

    // Sized once the menu bar and the controls are known (attach).
    hwnd_ =
        CreateWindowExA(0, ClassName, app::Title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
}

Win32MainWindow::~Win32MainWindow() {
    // The model may be gone already: what the controls report as they go reaches nobody.
    model_ = nullptr;
    about_.reset();
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    controls_.reset();
}

void Win32MainWindow::attach(veltaro::MainWindowModel& model) {
    model_ = &model;
    const layout::WindowSpec& design = model.layout();
    buildMenu(design);
    controls_ = std::make_unique<ControlWindows>(hwnd_, design, model.controls(),
                                                 [this](layout::Command c) {
                                                     if (model_)
                                                         model_->run(c);
                                                 });
    controls_->setListOpening([this] {
        if (model_)
            model_->portListOpening();
    });

    // The described client area; the frame and the menu bar come around it.
    const RECT r = rect();
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int width =
        layout::toPixels(design.clientWidth, twipsPerPixelX()) + (r.right - r.left) - client.right;
    SetWindowPos(hwnd_, nullptr, 0, 0, width, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    setClientHeight(design.clientHeight);
}

void Win32MainWindow::buildMenu(const layout::WindowSpec& window) {
    HMENU bar = CreateMenu();
    HMENU popup = nullptr;
    for (std::size_t i = 0; i < window.menu.size(); ++i) {
        const layout::MenuItem& item = window.menu[i];
        if (item.onBar && item.command == layout::Command::None) {
            popup = CreatePopupMenu();
            AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), item.caption);
            continue;
        }
        AppendMenuA(item.onBar || !popup ? bar : popup, MF_STRING,
                    static_cast<UINT_PTR>(FirstMenuId + i), item.caption);
    }
    SetMenu(hwnd_, bar);
}

HWND Win32MainWindow::control(std::string_view name) const {
    return controls_ ? controls_->window(name) : nullptr;
}

void Win32MainWindow::command(int id, int code, HWND from) {
    if (!model_)
        return;
    if (from) { // a control; Enter and Esc arrive as IDOK and IDCANCEL from none, and do nothing
        if (controls_)
            controls_->command(id, code);
        return;
    }
    const auto menu = model_->layout().menu;
    const int index = id - FirstMenuId;
    if (index >= 0 && static_cast<std::size_t>(index) < menu.size())
        model_->run(menu[static_cast<std::size_t>(index)].command);
}

LRESULT Win32MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Nothing may unwind through user32: what escapes the core's own reporting is told here.
    try {
        switch (msg) {
        case WM_COMMAND:
            command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_CTLCOLORSTATIC:
            if (HBRUSH brush = controls_ ? controls_->colour(reinterpret_cast<HWND>(lp),
                                                             reinterpret_cast<HDC>(wp))
                                         : nullptr)
                return reinterpret_cast<LRESULT>(brush);
            break;
        case WM_CONTEXTMENU:
            if (controls_ && controls_->contextMenu(reinterpret_cast<HWND>(wp)))
                return 0;
            break;
        case WM_CLOSE:
            if (model_)
                model_->unload();
            mainClosed_ = true;
            DestroyWindow(hwnd_);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends without WM_CLOSE: the process may be ended once this returns.
            if (wp && model_)
                model_->unload();
            return 0;
        case WM_DESTROY:
            mainClosed_ = true;
            if (finished())
                PostQuitMessage(0);
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

RECT Win32MainWindow::rect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

double Win32MainWindow::left() const {
    return rect().left * twipsPerPixelX();
}
double Win32MainWindow::top() const {
    return rect().top * twipsPerPixelY();
}
double Win32MainWindow::width() const {
    const RECT r = rect();
    return (r.right - r.left) * twipsPerPixelX();
}
double Win32MainWindow::height() const {
    const RECT r = rect();
    return (r.bottom - r.top) * twipsPerPixelY();
}

void Win32MainWindow::setLeft(double twips) {
    SetWindowPos(hwnd_, nullptr, layout::toPixels(twips, twipsPerPixelX()), rect().top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void Win32MainWindow::setTop(double twips) {
    SetWindowPos(hwnd_, nullptr, rect().left, layout::toPixels(twips, twipsPerPixelY()), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::setClientHeight(double twips) {
    // The frame, title bar and menu bar as drawn now (the menu bar may wrap onto two lines).
    const RECT r = rect();
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int nonClient = (r.bottom - r.top) - (client.bottom - client.top);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left,
                 layout::toPixels(twips, twipsPerPixelY()) + nonClient,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32MainWindow::setKeepAbove(bool above, PixelRect r) {
    SetWindowPos(hwnd_, above ? HWND_TOPMOST : HWND_NOTOPMOST, r.left, r.top, r.width, r.height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32MainWindow::close() {
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void Win32MainWindow::showAbout() {
    if (!aboutHwnd()) // a closed About window is made and loaded afresh
        about_ =
            std::make_unique<AboutWindow>(instance_, aboutPlatform_, [this] { aboutClosed(); });
    about_->show();
}

void Win32MainWindow::showAddressDialog(AddressDialogModel& dialog) {
    AddressWindow window(instance_, mainClosed_ ? nullptr : hwnd_, dialog);
    window.run();
}

void Win32MainWindow::aboutClosed() {
    // The object stays until the next Help > About replaces it.
    if (mainClosed_)
        PostQuitMessage(0);
}

bool Win32MainWindow::preTranslate(MSG& msg) {
    // Enter and Esc reach the main window as WM_COMMAND IDOK and IDCANCEL, which it ignores.
    for (HWND w : {aboutHwnd(), mainClosed_ ? nullptr : hwnd_})
        if (w && IsDialogMessageA(w, &msg))
            return true;
    return false;
}

AboutWindow* Win32MainWindow::about() const {
    return about_ && about_->hwnd() && IsWindow(about_->hwnd()) ? about_.get() : nullptr;
}

HWND Win32MainWindow::aboutHwnd() const {
    return about() ? about_->hwnd() : nullptr;
}

bool Win32MainWindow::finished() const {
    return mainClosed_ && aboutHwnd() == nullptr;
}

} // namespace veltaro::win32
