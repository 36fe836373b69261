// The Win32 front end: On Top moves the real window into and out of the topmost band, the
// layout follows the twips of the designed form at the screen's DPI, the controls mirror the
// form's models, Tab moves between them, and the end of the session saves the settings. Posted
// message boxes open once the messages are pumped, and timers go on meanwhile.
#include "platform/win32/main_window.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// The real window bound to a form of fakes, loaded.
struct FrontEnd {
    veltaro::win32::Win32Registry registry;
    veltaro::win32::Win32FileSystem files;
    veltaro::win32::Win32Launcher launcher;
    wintest::Form parts;
    veltaro::win32::MainWindow window{GetModuleHandleA(nullptr),
                                      {registry, files, launcher, parts.dialogs}};
    veltaro::frmMain& form = parts.build(nullptr, nullptr, nullptr, &window);
    FrontEnd() {
        window.bind(form);
        form.Form_Load();
    }
    ~FrontEnd() { parts.main.reset(); } // the form goes before its window
    bool topmost() const { return GetWindowLongPtrA(window.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST; }
    HWND control(const char* text) const {
        return FindWindowExA(window.hwnd(), nullptr, nullptr, text);
    }
};

// A child's rectangle in its parent's client coordinates.
RECT placeIn(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

RECT clientRect(HWND h) {
    RECT r{};
    GetClientRect(h, &r);
    return r;
}

int screenDpi(int axis) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, axis);
    ReleaseDC(nullptr, screen);
    return dpi;
}

} // namespace

TEST(Window, TwipsBecomePixelsAtTheScreenDpi) {
    for (const auto& [twips, dpi, pixels] : {std::tuple{1455.0, 96, 97},
                                             {1440.0, 96, 96},
                                             {1455.0, 120, 121},
                                             {15.0, 96, 1},
                                             {0.0, 144, 0},
                                             {-60.0, 96, -4}})
        EXPECT_EQ(veltaro::win32::twipsToPixels(twips, dpi), pixels) << twips << " " << dpi;
}

TEST(Window, OnTopSetsAndClearsTopmostAndStoresTheBox) {
    FrontEnd fe;
    EXPECT_FALSE(fe.topmost());
    fe.form.CheckOnTop.click();
    EXPECT_TRUE(fe.topmost());
    EXPECT_TRUE(IsWindowVisible(fe.window.hwnd()));
    EXPECT_EQ(fe.parts.settings.get("CheckOnTop"), "1");
    HWND box = FindWindowExA(fe.window.hwnd(), nullptr, nullptr, "On Top");
    EXPECT_EQ(SendMessageA(box, BM_GETCHECK, 0, 0), BST_CHECKED);
    fe.form.CheckOnTop.click();
    EXPECT_FALSE(fe.topmost());
    EXPECT_EQ(fe.parts.settings.get("CheckOnTop"), "0");
}

TEST(Window, SetupAndHideSetupChangeOnlyTheClientHeight) {
    FrontEnd fe;
    const HWND w = fe.window.hwnd();
    const double left = fe.window.left(), top = fe.window.top(), width = fe.window.width();
    fe.form.mnuSetup_Click();
    EXPECT_EQ(clientRect(w).bottom, veltaro::win32::twipsToPixels(2415, screenDpi(LOGPIXELSY)));
    fe.form.CmdReturn_Click();
    const RECT collapsed = clientRect(w);
    EXPECT_EQ(collapsed.bottom, veltaro::win32::twipsToPixels(765, screenDpi(LOGPIXELSY)));
    EXPECT_EQ(fe.window.left(), left);
    EXPECT_EQ(fe.window.top(), top);
    EXPECT_EQ(fe.window.width(), width);
    // The cut falls between the caption row and the port row.
    EXPECT_LT(placeIn(w, fe.control("Freq In")).bottom, collapsed.bottom);
    EXPECT_GE(placeIn(w, FindWindowExA(w, nullptr, "COMBOBOX", nullptr)).top, collapsed.bottom);
}

TEST(Window, TabMovesToTheNextControlInTheDesignedOrder) {
    FrontEnd fe;
    ShowWindow(fe.window.hwnd(), SW_SHOWNORMAL);
    SetFocus(fe.control("On Top"));
    PostMessageA(GetFocus(), WM_KEYDOWN, VK_TAB, 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!fe.window.preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    EXPECT_EQ(GetFocus(), fe.control("Hide Setup"));
}

TEST(Window, AboutShowsItsWholeDesignedClientArea) {
    FrontEnd fe;
    fe.form.mnuAbout_Click();
    const HWND about = fe.window.aboutHwnd();
    ASSERT_NE(about, nullptr);
    POINT corner{0, 0};
    ClientToScreen(about, &corner);
    EXPECT_EQ(corner.x, veltaro::win32::twipsToPixels(2340, screenDpi(LOGPIXELSX)));
    EXPECT_EQ(corner.y, veltaro::win32::twipsToPixels(1935, screenDpi(LOGPIXELSY)));
    // System Info and the disclaimer reach furthest right and down.
    const RECT client = clientRect(about);
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const RECT r = placeIn(about, c);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right &&
                    r.bottom <= client.bottom)
            << "control " << GetDlgCtrlID(c) << " ends at " << r.right << "," << r.bottom
            << " outside " << client.right << "," << client.bottom;
    }
}

TEST(Window, ClosingThroughTheFrameRunsFormUnloadOnce) {
    FrontEnd fe;
    const int before = fe.parts.settings.writesOf("Position-Left");
    SendMessageA(fe.window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(fe.window.hwnd()));
    EXPECT_EQ(fe.parts.settings.writesOf("Position-Left") - before, 1);
    EXPECT_TRUE(fe.window.finished());
}

TEST(Window, EndOfTheSessionSavesTheSettings) {
    for (const WPARAM ending : {FALSE, TRUE}) {
        FrontEnd fe;
        fe.parts.settings.writes.clear();
        SendMessageA(fe.window.hwnd(), WM_ENDSESSION, ending, 0);
        for (const char* key :
             {"ComPort", "Position-Left", "Position-Top", "CheckCommander", "CheckTRX", "CheckHRD"})
            EXPECT_EQ(fe.parts.settings.writesOf(key), ending ? 1 : 0) << key << " " << ending;
    }
}

namespace {

// Counts the ticks of a timer of its own window while a box captioned "Posted" is open, and
// closes each such box after three of them.
struct BoxWatch {
    std::vector<HWND> boxes;
    int ticksWhileOpen = 0;
    int ticksOfThisBox = 0;

    static void CALLBACK tick(HWND h, UINT, UINT_PTR, DWORD) {
        auto& self = *reinterpret_cast<BoxWatch*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        HWND box = FindWindowA("#32770", "Posted");
        if (!box || !IsWindowVisible(box))
            return;
        if (std::find(self.boxes.begin(), self.boxes.end(), box) == self.boxes.end()) {
            self.boxes.push_back(box);
            self.ticksOfThisBox = 0;
        }
        ++self.ticksWhileOpen;
        if (++self.ticksOfThisBox == 3)
            PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
};

} // namespace

TEST(Dialogs, PostedBoxesOpenOneAfterTheOtherOnceMessagesArePumped) {
    BoxWatch watch;
    HWND timerWindow =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrA(timerWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watch));
    SetTimer(timerWindow, 1, 10, BoxWatch::tick);
    {
        veltaro::win32::Win32Dialogs dialogs;
        dialogs.postMessage("Serial write failed", "Posted");
        dialogs.postMessage("Settings not saved", "Posted");
        EXPECT_TRUE(watch.boxes.empty()); // not shown before the caller returns to the loop
        EXPECT_TRUE(wintest::pumpUntil(
            [&] { return watch.boxes.size() == 2 && !FindWindowA("#32770", "Posted"); }, 10000));
        EXPECT_GE(watch.ticksWhileOpen, 6);
        // Boxes still queued when the object goes are dropped.
        veltaro::win32::Win32Dialogs gone;
        gone.postMessage("Dropped", "Posted");
    }
    EXPECT_FALSE(wintest::pumpUntil([&] { return watch.boxes.size() > 2; }, 300));
    DestroyWindow(timerWindow);
}
