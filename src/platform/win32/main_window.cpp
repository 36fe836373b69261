#include "platform/win32/main_window.h"

#include "about/app_identity.h"
#include "platform/win32/about_window.h"
#include "platform/win32/resource.h"

#include <cmath>

namespace veltaro::win32 {

namespace {

enum Id {
    IdLabel7 = 100,
    IdLabel3,
    IdLabel8,
    IdLabel1,
    IdCombo18,
    IdCmdReturn,
    IdCheckOnTop,
    IdCheckTRX,
    IdCheckCommander,
    IdCheckHRD,
    IdText3,
    IdText1,
    IdMnuExit = 200,
    IdMnuSetup,
    IdMnuIndex,
    IdMnuAbout,
};

constexpr UINT_PTR Timer1Id = 1;
constexpr double ClientWidth = 2115;
constexpr double ClientHeight = 2415;

void setText(HWND h, const std::string& s) {
    SetWindowTextA(h, s.c_str());
}

} // namespace

int twipsToPixels(double twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

MainWindow::MainWindow(HINSTANCE instance, AboutPlatform about)
    : instance_(instance), aboutPlatform_(about) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VELTARO));
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = ClassName;
    RegisterClassExA(&wc);

    HDC screen = GetDC(nullptr);
    dpiX_ = GetDeviceCaps(screen, LOGPIXELSX);
    dpiY_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    if (dpiX_ <= 0)
        dpiX_ = 96;
    if (dpiY_ <= 0)
        dpiY_ = 96;

    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuA(file, MF_STRING, IdMnuExit, "&Exit");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), "&File");
    AppendMenuA(bar, MF_STRING, IdMnuSetup, "&Setup");
    HMENU help = CreatePopupMenu();
    AppendMenuA(help, MF_STRING, IdMnuIndex, "&Index");
    AppendMenuA(help, MF_STRING, IdMnuAbout, "&About");
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), "&Help");

    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT r{0, 0, twipsToPixels(ClientWidth, dpiX_), twipsToPixels(ClientHeight, dpiY_)};
    AdjustWindowRectEx(&r, style, TRUE, 0);
    hwnd_ = CreateWindowExA(0, ClassName, app::Title, style, CW_USEDEFAULT, CW_USEDEFAULT,
                            r.right - r.left, r.bottom - r.top, nullptr, bar, instance, this);

    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    guiFont_ = SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)
                   ? CreateFontIndirectA(&ncm.lfMessageFont)
                   : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    // Arial 11.25 pt.
    freqFont_ = CreateFontA(-static_cast<int>(std::lround(11.25 * dpiY_ / 72.0)), 0, 0, 0,
                            FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "Arial");
    createControls();
}

MainWindow::~MainWindow() {
    form_ = nullptr; // gone already: the notifications of the controls' destruction reach no form
    about_.reset();
    if (hwnd_ && IsWindow(hwnd_))
        DestroyWindow(hwnd_);
    if (freqFont_)
        DeleteObject(freqFont_);
    if (guiFont_)
        DeleteObject(guiFont_);
}

HWND MainWindow::child(const char* cls, const char* text, DWORD style, int id, double l, double t,
                       double w, double h) {
    HWND c = CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, twipsToPixels(l, dpiX_),
                             twipsToPixels(t, dpiY_), twipsToPixels(w, dpiX_),
                             twipsToPixels(h, dpiY_), hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(guiFont_), FALSE);
    return c;
}

void MainWindow::createControls() {
    // Created in tab order.
    child("COMBOBOX", "Com 1 ", CBS_DROPDOWN | WS_VSCROLL | WS_TABSTOP, IdCombo18, 0, 840, 975,
          315 + 16 * 240);
    child("STATIC", "", SS_CENTER | WS_BORDER, IdLabel3, 1080, 120, 855, 315);
    child("EDIT", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, IdText1, 120, 3000, 975, 285);
    child("BUTTON", "TRX-Manager", BS_CHECKBOX | WS_TABSTOP, IdCheckTRX, 120, 1560, 1575, 255);
    child("BUTTON", "Commander", BS_CHECKBOX | WS_TABSTOP, IdCheckCommander, 120, 1800, 1455, 255);
    child("BUTTON", "On Top", BS_CHECKBOX | WS_TABSTOP, IdCheckOnTop, 120, 1200, 975, 255);
    child("STATIC", "", SS_CENTER | WS_BORDER, IdLabel7, 120, 120, 855, 315);
    child("STATIC", "Freq In", SS_CENTER, IdLabel8, 240, 480, 615, 255);
    child("STATIC", "Freq Out", SS_CENTER, IdLabel1, 1080, 480, 855, 255);
    child("BUTTON", "Hide Setup", BS_PUSHBUTTON | WS_TABSTOP, IdCmdReturn, 1080, 840, 975, 300);
    child("EDIT", "", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, IdText3, 120, 2640, 975, 285);
    child("BUTTON", "HRD", BS_CHECKBOX | WS_TABSTOP, IdCheckHRD, 120, 2040, 1455, 255);
    for (int id : {IdLabel7, IdLabel3})
        SendMessageA(GetDlgItem(hwnd_, id), WM_SETFONT, reinterpret_cast<WPARAM>(freqFont_), FALSE);
}

void MainWindow::bind(frmMain& form) {
    form_ = &form;
    HWND combo = GetDlgItem(hwnd_, IdCombo18);
    for (const auto& item : form.Combo18.items())
        SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    auto mirrorLabel = [this](Label& l, int id) {
        l.subscribe([this, &l, id] { setText(GetDlgItem(hwnd_, id), l.caption()); });
        setText(GetDlgItem(hwnd_, id), l.caption());
    };
    mirrorLabel(form.Label7, IdLabel7);
    mirrorLabel(form.Label3, IdLabel3);
    auto mirrorText = [this](TextBox& t, int id) {
        t.subscribe([this, &t, id] { setText(GetDlgItem(hwnd_, id), t.text()); });
    };
    mirrorText(form.Text3, IdText3);
    mirrorText(form.Text1, IdText1);
    form.Combo18.subscribe(
        [this, &form] { setText(GetDlgItem(hwnd_, IdCombo18), form.Combo18.text()); });
    if (!form.Combo18.text().empty())
        setText(combo, form.Combo18.text());
    auto mirrorBox = [this](CheckBox& b, int id) {
        b.subscribe([this, &b, id] {
            SendMessageA(GetDlgItem(hwnd_, id), BM_SETCHECK,
                         b.value() == 1 ? BST_CHECKED : BST_UNCHECKED, 0);
        });
    };
    mirrorBox(form.CheckOnTop, IdCheckOnTop);
    mirrorBox(form.CheckTRX, IdCheckTRX);
    mirrorBox(form.CheckCommander, IdCheckCommander);
    mirrorBox(form.CheckHRD, IdCheckHRD);
    form.Timer1.subscribe([this] { updateTimer(); });
    form.PollStateChanged.subscribe([this] { updateTimer(); });
    updateTimer();
}

void MainWindow::updateTimer() {
    if (!hwnd_ || !form_ || mainClosed_)
        return;
    const bool want = form_->Timer1.enabled() && form_->tickNeeded();
    if (want && !timerRunning_)
        SetTimer(hwnd_, Timer1Id, static_cast<UINT>(form_->Timer1.interval()), nullptr);
    else if (!want && timerRunning_)
        KillTimer(hwnd_, Timer1Id);
    timerRunning_ = want;
}

void MainWindow::command(int id, int code) {
    if (!form_)
        return;
    switch (id) {
    case IdMnuExit:
        form_->mnuExit_Click();
        break;
    case IdMnuSetup:
        form_->mnuSetup_Click();
        break;
    case IdMnuIndex:
        form_->mnuIndex_Click();
        break;
    case IdMnuAbout:
        form_->mnuAbout_Click();
        break;
    case IdCmdReturn:
        if (code == BN_CLICKED)
            form_->CmdReturn_Click();
        break;
    case IdCheckOnTop:
    case IdCheckTRX:
    case IdCheckCommander:
    case IdCheckHRD:
        if (code == BN_CLICKED) {
            CheckBox& b = id == IdCheckOnTop       ? form_->CheckOnTop
                          : id == IdCheckTRX       ? form_->CheckTRX
                          : id == IdCheckCommander ? form_->CheckCommander
                                                   : form_->CheckHRD;
            b.click();
        }
        break;
    case IdCombo18:
        if (code == CBN_SELCHANGE) {
            const LRESULT i = SendMessageA(GetDlgItem(hwnd_, IdCombo18), CB_GETCURSEL, 0, 0);
            if (i >= 0)
                form_->Combo18.pick(static_cast<std::size_t>(i));
        }
        break;
    default:
        break;
    }
    updateTimer();
}

LRESULT CALLBACK MainWindow::proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<MainWindow*>(cs->lpCreateParams)->hwnd_ = h;
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(h, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

LRESULT MainWindow::handle(UINT msg, WPARAM wp, LPARAM lp) {
    // Failures that reach the window are met here: they must not unwind through user32.
    try {
        switch (msg) {
        case WM_COMMAND:
            command(LOWORD(wp), HIWORD(wp));
            return 0;
        case WM_TIMER:
            if (wp == Timer1Id && form_) {
                form_->Timer1_Timer();
                updateTimer();
            }
            return 0;
        case WM_CLOSE:
            if (form_)
                form_->Form_Unload();
            KillTimer(hwnd_, Timer1Id);
            timerRunning_ = false;
            mainClosed_ = true;
            DestroyWindow(hwnd_);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends without WM_CLOSE: the process may be ended once this returns.
            if (wp && form_)
                form_->Form_Unload();
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
    SetWindowPos(hwnd_, nullptr, twipsToPixels(twips, dpiX_), rect().top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void MainWindow::setTop(double twips) {
    SetWindowPos(hwnd_, nullptr, rect().left, twipsToPixels(twips, dpiY_), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
void MainWindow::setClientHeight(double twips) {
    // The frame, title bar and menu bar as drawn now (the menu bar may wrap onto two lines).
    const RECT r = rect();
    RECT client{};
    GetClientRect(hwnd_, &client);
    const int nonClient = (r.bottom - r.top) - (client.bottom - client.top);
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, twipsToPixels(twips, dpiY_) + nonClient,
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
    if (!aboutHwnd()) // a closed dialog is loaded afresh
        about_ =
            std::make_unique<AboutWindow>(instance_, aboutPlatform_, [this] { aboutClosed(); });
    about_->show();
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

HWND MainWindow::aboutHwnd() const {
    return about_ && about_->hwnd() && IsWindow(about_->hwnd()) ? about_->hwnd() : nullptr;
}

bool MainWindow::finished() const {
    return mainClosed_ && aboutHwnd() == nullptr;
}

} // namespace veltaro::win32
