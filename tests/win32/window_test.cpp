// The Win32 front end around the core: every described control is a child window at its place,
// in tab order, showing what its Control holds; the user's actions reach the core; On Top, the
// heights below the menu bar, Tab, the About window's client area and etched line, the poll
// timer, closing and the end of the session. Posted message boxes open once the messages are
// pumped, and timers go on meanwhile.
#include "form.h"
#include "platform/win32/about_window.h"
#include "platform/win32/control_windows.h"
#include "platform/win32/platform_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

using veltaro::layout::Kind;
using veltaro::win32::ControlWindows;
using veltaro::win32::Scale;
using veltaro::win32::windowText;
using wintest::Station;

std::string text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + " " + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

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

// What a control's window shows, in the terms of its Control.
std::string shown(HWND h, Kind kind) {
    std::string s = windowText(h);
    if (kind == Kind::CheckBox) {
        const LRESULT state = SendMessageA(h, BM_GETCHECK, 0, 0);
        s += "=" + std::to_string(state == BST_CHECKED ? 1 : state == BST_INDETERMINATE ? 2 : 0);
    } else if (kind == Kind::PortList) {
        for (LRESULT i = 0; i < SendMessageA(h, CB_GETCOUNT, 0, 0); ++i) {
            char item[32] = {};
            SendMessageA(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            s += std::string("|") + item;
        }
    }
    return s;
}

std::string held(const veltaro::Control& c) {
    std::string s = c.text();
    if (c.spec().kind == Kind::CheckBox)
        s += "=" + std::to_string(c.value());
    for (const auto& item : c.items())
        s += "|" + item;
    return s;
}

void expectMirrored(veltaro::ControlSet& controls, const std::function<HWND(const char*)>& find) {
    for (auto& c : controls.all()) {
        if (c.spec().kind != Kind::Line && c.spec().kind != Kind::Icon) {
            EXPECT_EQ(shown(find(c.name()), c.spec().kind), held(c)) << c.name();
        }
    }
}

// Every control of the description against the child windows of parent: made in tab order, with
// a tab stop where it takes the focus, at its place, in the described font, mirroring its
// Control.
void expectBuiltAsDescribed(HWND parent, const veltaro::layout::WindowSpec& window,
                            veltaro::ControlSet& controls,
                            const std::function<HWND(const char*)>& find) {
    std::vector<std::string> tabStops, focusable;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetWindowLongPtrA(c, GWL_STYLE) & WS_TABSTOP) {
            const auto index = static_cast<std::size_t>(GetDlgCtrlID(c) - ControlWindows::FirstId);
            tabStops.push_back(index < window.controls.size() ? window.controls[index].name : "?");
        }
    for (const auto* c : veltaro::layout::tabOrder(window))
        focusable.push_back(c->name);
    EXPECT_EQ(tabStops, focusable);

    const Scale scale = Scale::ofScreen();
    for (const auto& c : controls.all()) {
        HWND h = find(c.name());
        if (c.spec().kind == Kind::Line) {
            EXPECT_EQ(h, nullptr) << c.name();
            continue;
        }
        ASSERT_NE(h, nullptr) << c.name();
        RECT want = scale.pixels(c.spec().rect);
        if (c.spec().kind == Kind::Icon) { // the picture box takes the size of its picture
            want.right = want.left + GetSystemMetrics(SM_CXICON);
            want.bottom = want.top + GetSystemMetrics(SM_CYICON);
        }
        EXPECT_EQ(text(placeIn(parent, h)), text(want)) << c.name();
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        if (c.spec().font.family) {
            EXPECT_STREQ(font.lfFaceName, c.spec().font.family) << c.name();
        }
    }
    expectMirrored(controls, find);
}

// A key pressed on the control with the focus, through the message loop's keyboard handling.
void press(Station& s, UINT key) {
    PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        if (!s.window.preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
}

} // namespace

TEST(Window, EveryControlIsBuiltAtItsPlaceInTabOrder) {
    Station s;
    s.start();
    expectBuiltAsDescribed(s.hwnd(), s.core.layout(), s.core.controls(),
                           [&](const char* n) { return s.control(n); });
    s.menu("&Index"); // the items of the pop-ups reach the core too
    EXPECT_EQ(s.help.calls.size(), 1u);

    s.menu("&About");
    veltaro::win32::AboutWindow* about = s.window.about();
    ASSERT_NE(about, nullptr);
    expectBuiltAsDescribed(about->hwnd(), about->box().layout(), about->box().controls(),
                           [&](const char* n) { return about->control(n); });
    EXPECT_EQ(windowText(about->hwnd()), "About Veltaro");
}

TEST(Window, UserActionsReachTheCoreAndTheWindowsFollowIt) {
    Station s;
    s.serial.existing.insert(2);
    s.settings.set("CheckHRD", "2");
    s.start();
    auto mirrored = [&] {
        expectMirrored(s.core.controls(), [&](const char* n) { return s.control(n); });
    };
    EXPECT_EQ(SendMessageA(s.control("hrdBox"), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    mirrored();

    s.click("commanderBox");
    EXPECT_EQ(s.core.control("commanderBox").value(), 1);
    EXPECT_EQ(windowText(s.control("receivedLabel")), "14074");
    mirrored();
    s.click("trxManagerBox"); // the core clears the other source boxes
    EXPECT_EQ(SendMessageA(s.control("commanderBox"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    mirrored();
    for (const bool on : {true, false}) { // On Top moves the window into the band and out
        s.click("onTopBox");
        EXPECT_EQ((GetWindowLongPtrA(s.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
        EXPECT_TRUE(IsWindowVisible(s.hwnd()));
        EXPECT_EQ(s.settings.get("CheckOnTop"), on ? "1" : "0");
    }

    // The arrow keys pick: the first Down the first item (nothing is selected at the start),
    // the next one port 2. Each pick opens its port and stores it.
    HWND list = s.control("portList");
    SetFocus(list);
    for (const int port : {1, 2}) {
        const int saves = s.settings.writesOf("ComPort");
        press(s, VK_DOWN);
        EXPECT_EQ(s.serial.opened, port);
        EXPECT_EQ(s.settings.writesOf("ComPort"), saves + 1);
        EXPECT_EQ(s.settings.get("ComPort"), std::to_string(port));
    }
    mirrored();

    // Typing into the port list runs nothing; typing into a text box is the Control's edit.
    const auto writes = s.settings.writes.size();
    SendMessageA(GetFocus(), WM_CHAR, '7', 1);
    EXPECT_NE(windowText(list), "Com 2 ");
    EXPECT_EQ(s.core.control("portList").text(), windowText(list));
    EXPECT_EQ(s.settings.writes.size(), writes);
    EXPECT_EQ(s.serial.opened, 2);
    SendMessageA(s.control("linkValue"), WM_CHAR, '9', 1);
    EXPECT_EQ(s.core.control("linkValue").text(), "9");
    mirrored();
}

TEST(Window, SetupAndHideSetupSetTheHeightBelowTheMenuBar) {
    Station s;
    s.start();
    const double left = s.window.left(), top = s.window.top(), width = s.window.width();
    const Scale scale = Scale::ofScreen();
    auto between = [&](const char* lastShown, const char* firstHidden) {
        const LONG bottom = clientRect(s.hwnd()).bottom;
        return placeIn(s.hwnd(), s.control(lastShown)).bottom <= bottom &&
               placeIn(s.hwnd(), s.control(firstHidden)).top >= bottom;
    };
    for (const bool setup : {false, true, true, false, false, true}) {
        if (setup)
            s.menu("&Setup");
        else
            s.click("hideSetupButton");
        const double height = setup ? veltaro::MainWindow::ExpandedClientHeight
                                    : veltaro::MainWindow::CollapsedClientHeight;
        EXPECT_EQ(clientRect(s.hwnd()).bottom, scale.pixelsY(height)) << setup;
        EXPECT_EQ(clientRect(s.hwnd()).right, scale.pixelsX(s.core.layout().clientWidth));
        EXPECT_TRUE(setup ? between("hrdBox", "relayedMhzText")
                          : between("receivedCaption", "portList"));
        EXPECT_EQ(s.window.left(), left);
        EXPECT_EQ(s.window.top(), top);
        EXPECT_EQ(s.window.width(), width);
    }
}

TEST(Window, TabMovesThroughTheControlsInTabOrder) {
    Station s;
    s.start();
    ShowWindow(s.hwnd(), SW_SHOWNORMAL);
    const auto order = veltaro::layout::tabOrder(s.core.layout());
    SetFocus(s.control(order.front()->name));
    for (std::size_t i = 1; i <= order.size(); ++i) {
        press(s, VK_TAB);
        HWND focus = GetFocus();
        if (GetParent(focus) != s.hwnd()) // the port list's edit field
            focus = GetParent(focus);
        EXPECT_EQ(focus, s.control(order[i % order.size()]->name)) << order[i - 1]->name;
    }
}

// The client area holds every control with its corner at the described place; the etched line
// is grey one pixel high with white two pixels high below; Enter and Esc act as OK.
TEST(Window, AboutShowsItsWholeClientAreaAndClosesOnEnterAndEsc) {
    Station s;
    s.start();
    s.menu("&About");
    const HWND about = s.window.aboutHwnd();
    ASSERT_NE(about, nullptr);
    const Scale scale = Scale::ofScreen();
    POINT corner{0, 0};
    ClientToScreen(about, &corner);
    EXPECT_EQ(corner.x, scale.pixelsX(veltaro::layout::AboutScreenLeft));
    EXPECT_EQ(corner.y, scale.pixelsY(veltaro::layout::AboutScreenTop));
    const RECT client = clientRect(about);
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        const RECT r = placeIn(about, c);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right &&
                    r.bottom <= client.bottom)
            << text(r) << " outside " << text(client);
    }

    // The lines, printed on black.
    HDC screen = GetDC(nullptr), dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    SendMessageA(about, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    for (const auto& line : veltaro::layout::aboutBox().controls) {
        if (line.kind != Kind::Line)
            continue;
        const int x = scale.pixelsX(line.rect.left + line.rect.width / 2);
        const int y = scale.pixelsY(line.rect.top);
        const COLORREF colour = RGB(line.rgb >> 16, (line.rgb >> 8) & 0xFF, line.rgb & 0xFF);
        for (int dy = 0; dy < line.pen; ++dy)
            EXPECT_EQ(GetPixel(dc, x, y + dy), colour) << line.name << " row " << y + dy;
        EXPECT_NE(GetPixel(dc, x, y + line.pen), colour) << line.name;
    }
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);

    // One window at a time; a closed one is made afresh.
    ShowWindow(s.hwnd(), SW_SHOWNORMAL);
    for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
        s.window.showAbout();
        const HWND shown = s.window.aboutHwnd();
        EXPECT_EQ(shown == about, key == VK_RETURN);
        press(s, key);
        EXPECT_FALSE(IsWindow(shown)) << key;
    }
}

TEST(Window, PollTimerReadsTheRigWhileASourceNeedsIt) {
    Station s;
    s.start();
    s.click("trxManagerBox");
    s.automation.frequency = 3.5;
    EXPECT_TRUE(
        wintest::pumpUntil([&] { return windowText(s.control("receivedLabel")) == "3500"; }, 5000));
}

// Closing through the frame and the end of the session unload the core, once; the program ends
// once the About window has closed too.
TEST(Window, ClosingAndTheEndOfTheSessionUnloadTheCore) {
    for (const auto& [msg, wp, unloads] : {std::tuple{WM_CLOSE, WPARAM{0}, true},
                                           {WM_ENDSESSION, WPARAM{TRUE}, true},
                                           {WM_ENDSESSION, WPARAM{FALSE}, false}}) {
        Station s;
        s.start();
        s.menu("&About");
        const int before = s.settings.writesOf("Position-Left");
        EXPECT_EQ(SendMessageA(s.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
        SendMessageA(s.hwnd(), msg, wp, 0);
        EXPECT_EQ(s.settings.writesOf("Position-Left") - before, unloads ? 1 : 0) << msg << wp;
        EXPECT_EQ(s.core.unloaded(), unloads);
        if (msg != WM_CLOSE)
            continue;
        EXPECT_FALSE(IsWindow(s.hwnd()));
        EXPECT_FALSE(s.window.finished());
        SendMessageA(s.window.aboutHwnd(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(s.window.finished());
        MSG quit{};
        EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
        EXPECT_EQ(quit.wParam, 0u);
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
