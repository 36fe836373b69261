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

namespace {

constexpr UINT_PTR PollTimerId = 1;
constexpr UINT_PTR ReopenTimerId = 2;

// Starts or stops one timer of the window as wanted; running tells whether it runs.
void runTimer(HWND hwnd, UINT_PTR id, int intervalMs, bool want, bool& running) {
    if (want && !running)
        SetTimer(hwnd, id, static_cast<UINT>(intervalMs), nullptr);
    else if (!want && running)
        KillTimer(hwnd, id);
    running = want;
}

} // namespace

MainWindow::MainWindow(HINSTANCE instance, AboutPlatform about)
    : instance_(instance), aboutPlatform_(about), scale_(Scale::ofScreen()) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = forwardToWindow<MainWindow>;
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

MainWindow::~MainWindow() {
    // The core may be gone already: what the controls report as they go reaches nobody.
    core_ = nullptr;
    alive_.reset();
    about_.reset();
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    controls_.reset();
}

void MainWindow::attach(veltaro::MainWindow& core) {
    core_ = &core;
    const layout::WindowSpec& design = core.layout();
    buildMenu(design);
    controls_ =
        std::make_unique<ControlWindows>(hwnd_, design, core.controls(), [this](layout::Command c) {
            if (core_)
                core_->run(c);
        });
    controls_->setListOpening([this] {
        if (core_)
            core_->portListOpening();
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

    core.pollStateChanged().subscribe([this, alive = std::weak_ptr<bool>(alive_)] {
        if (alive.lock())
            updatePolling();
    });
    updatePolling();
}

void MainWindow::buildMenu(const layout::WindowSpec& window) {
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

HWND MainWindow::control(std::string_view name) const {
    return controls_ ? controls_->window(name) : nullptr;
}

void MainWindow::updatePolling() {
    const bool live = hwnd_ && core_ && !mainClosed_;
    runTimer(hwnd_, PollTimerId, veltaro::MainWindow::PollIntervalMs, live && core_->pollNeeded(),
             polling_);
    runTimer(hwnd_, ReopenTimerId, veltaro::MainWindow::ReopenIntervalMs,
             live && core_->reopenNeeded(), reopening_);
}

void MainWindow::command(int id, int code, HWND from) {
    if (!core_)
        return;
    if (from) { // a control; Enter and Esc arrive as IDOK and IDCANCEL from none, and do nothing
        if (controls_)
            controls_->command(id, code);
        return;
    }
    const auto menu = core_->layout().menu;
    const int index = id - FirstMenuId;
    if (index >= 0 && static_cast<std::size_t>(index) < menu.size())
        core_->run(menu[static_cast<std::size_t>(index)].command);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Nothing may unwind through user32: what escapes the core's own reporting is told here.
    try {
        switch (msg) {
        case WM_COMMAND:
            command(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp));
            return 0;
        case WM_CONTEXTMENU:
            if (controls_ && controls_->contextMenu(reinterpret_cast<HWND>(wp)))
                return 0;
            break;
        case WM_TIMER:
            if (wp == PollTimerId && core_)
                core_->poll();
            else if (wp == ReopenTimerId && core_)
                core_->reopenTick();
            updatePolling();
            return 0;
        case WM_CLOSE:
            if (core_)
                core_->unload();
            mainClosed_ = true;
            updatePolling();
            DestroyWindow(hwnd_);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends without WM_CLOSE: the process may be ended once this returns.
            if (wp && core_)
                core_->unload();
            return 0;
        case WM_DESTROY:
            mainClosed_ = true;
            updatePolling();
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

RECT MainWindow::rect() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return r;
}

double MainWindow::left() const {
    return rect().left * twipsPerPixelX();
}
double MainWindow::top() const {
    return rect().top * twipsPerPixelY();
}
double MainWindow::width() const {
    const RECT r = rect();
    return (r.right - r.left) * twipsPerPixelX();
}
double MainWindow::height() const {
    const RECT r = rect();
    return (r.bottom - r.top) * twipsPerPixelY();
}

void MainWindow::setLeft(double twips) {
    SetWindowPos(hwnd_, nullptr, layout::toPixels(twips, twipsPerPixelX()), rect().top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void MainWindow::setTop(double twips) {
    SetWindowPos(hwnd_, nullptr, rect().left, layout::toPixels(twips, twipsPerPixelY()), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::setClientHeight(double twips) {
    // The frame, title bar and menu bar as drawn now (the menu bar may wrap onto two lines).
    const RECT r = rect();
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int nonClient = (r.bottom - r.top) - (client.bottom - client.top);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left,
                 layout::toPixels(twips, twipsPerPixelY()) + nonClient,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::setWindowPos(bool topmost, int x, int y, int cx, int cy) {
    SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, x, y, cx, cy,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void MainWindow::close() {
    PostMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::showAbout() {
    if (!aboutHwnd()) // a closed About window is made and loaded afresh
        about_ =
            std::make_unique<AboutWindow>(instance_, aboutPlatform_, [this] { aboutClosed(); });
    about_->show();
}

void MainWindow::showAddressDialog(AddressDialog& dialog) {
    AddressWindow window(instance_, mainClosed_ ? nullptr : hwnd_, dialog);
    window.run();
}

void MainWindow::aboutClosed() {
    // The object stays until the next Help > About replaces it.
    if (mainClosed_)
        PostQuitMessage(0);
}

bool MainWindow::preTranslate(MSG& msg) {
    // Enter and Esc reach the main window as WM_COMMAND IDOK and IDCANCEL, which it ignores.
    for (HWND w : {aboutHwnd(), mainClosed_ ? nullptr : hwnd_})
        if (w && IsDialogMessageA(w, &msg))
            return true;
    return false;
}

AboutWindow* MainWindow::about() const {
    return about_ && about_->hwnd() && IsWindow(about_->hwnd()) ? about_.get() : nullptr;
}

HWND MainWindow::aboutHwnd() const {
    return about() ? about_->hwnd() : nullptr;
}

bool MainWindow::finished() const {
    return mainClosed_ && aboutHwnd() == nullptr;
}

} // namespace veltaro::win32
