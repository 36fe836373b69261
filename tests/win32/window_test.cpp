// The Win32 front end around the core, built from fakes: both windows are what their descriptions
// say and mirror their Controls; Tab, Enter and Esc go through the message loop's preTranslate;
// the user's actions reach the core; On Top, the height below the menu bar, the About window's
// client area and etched line, the poll timer, closing and the end of the session. Posted message
// boxes open once the messages are pumped, and timers go on meanwhile.
#include "adapters/win32/system_win32.h"
#include "adapters/win32/timers_win32.h"
#include "core/fakes.h"
#include "core/net_fakes.h"
#include "frontends/win32/about_window.h"
#include "frontends/win32/control_windows.h"
#include "frontends/win32/dialogs_win32.h"
#include "frontends/win32/main_window.h"
#include "support.h"
#include "view/main_window_model.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using veltaro::layout::Kind;
using veltaro::win32::windowText;

const veltaro::win32::Scale scale = veltaro::win32::Scale::ofScreen();

// The real Win32 window around the core's main window, with fakes for the rest of the platform;
// Commander and HRD answer.
struct Station {
    veltaro::fake::SettingsStore settings;
    veltaro::fake::SerialLine serial;
    veltaro::fake::FileSystem files;
    veltaro::fake::LinkClient link;
    veltaro::fake::Automation automation;
    veltaro::test::FakeNetwork network;
    veltaro::test::FakeClock clock;
    veltaro::win32::Win32Timers timers;
    veltaro::fake::Dialogs dialogs;
    veltaro::fake::Manual manual;
    veltaro::fake::Launcher launcher;
    veltaro::fake::SystemInfoLocator locator; // finds nothing
    veltaro::win32::Win32MainWindow window{GetModuleHandleA(nullptr), {locator, launcher, dialogs}};
    veltaro::RelaySession session{{serial, settings, files, link, automation, network, clock,
                                   timers, veltaro::NumberFormat{'.'}}};
    veltaro::MainWindowModel core{session, {window, dialogs, manual}};

    Station() {
        link.servers["CI-V Commander|DDEServer"]["XmitFreq"] = "14074";
        link.servers["HRD_RADIO_000|HRD_CAT"]["HRD_HERTZ"] = "7074000";
        window.attach(core);
    }
    HWND hwnd() const { return window.hwnd(); }
    HWND control(const char* name) const { return window.control(name); }
    // What the user does: a click on a box or button, the item of the caption in the menu bar as
    // built, a key pressed on the control with the focus.
    void click(const char* name) const { SendMessageA(control(name), BM_CLICK, 0, 0); }
    void menu(std::string_view caption) {
        for (std::size_t i = 0; i < core.layout().menu.size(); ++i) {
            const UINT id = veltaro::win32::Win32MainWindow::FirstMenuId + static_cast<UINT>(i);
            char text[64] = {};
            if (GetMenuStringA(GetMenu(hwnd()), id, text, sizeof text, MF_BYCOMMAND) &&
                caption == text)
                SendMessageA(hwnd(), WM_COMMAND, id, 0);
        }
    }
    void press(UINT key) {
        PostMessageA(GetFocus(), WM_KEYDOWN, key, 1);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!window.preTranslate(msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
    }
};

auto corners(const RECT& r) {
    return std::tuple(r.left, r.top, r.right, r.bottom);
}

// A child's rectangle in its parent's client coordinates.
RECT placeIn(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Every child window of the main or the About window shows what its Control in the window's logic
// holds: its text, a box's state, the port list's items.
template <class Logic, class Window> void expectMirrored(Logic& logic, const Window& window) {
    for (auto& c : logic.controls().all()) {
        const Kind kind = c.design().kind;
        if (kind == Kind::Line || kind == Kind::Icon)
            continue;
        HWND h = window.control(c.name());
        std::string shown = windowText(h), held = c.text();
        if (kind == Kind::CheckBox) { // BST_UNCHECKED, BST_CHECKED, BST_INDETERMINATE: 0, 1, 2
            shown += std::to_string(SendMessageA(h, BM_GETCHECK, 0, 0));
            held += std::to_string(static_cast<int>(c.check()));
        }
        const bool list = kind == Kind::PortList || kind == Kind::DropDownList;
        for (LRESULT i = 0; list && i < SendMessageW(h, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t item[32] = {};
            SendMessageW(h, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
            shown += "|" + veltaro::win32::utf8(item);
        }
        for (const auto& item : c.items())
            held += "|" + item;
        EXPECT_EQ(shown, held) << c.name();
    }
}

// Every control of the description against the child windows of the main or the About window: at
// its place, in the described font, mirroring its Control; Tab through the message loop moves the
// focus round the controls that take it and are not greyed, in tab order.
template <class Logic, class Window>
void expectBuiltAsDescribed(Station& s, Logic& logic, const Window& window) {
    const HWND parent = window.hwnd();
    for (const auto& c : logic.controls().all()) {
        if (c.design().kind == Kind::Line)
            continue;
        HWND h = window.control(c.name());
        ASSERT_NE(h, nullptr) << c.name();
        RECT want = scale.pixels(c.design().rect);
        if (c.design().kind == Kind::Icon) // the picture box takes the size of its picture
            want = {want.left, want.top, want.left + GetSystemMetrics(SM_CXICON),
                    want.top + GetSystemMetrics(SM_CYICON)};
        EXPECT_EQ(corners(placeIn(parent, h)), corners(want)) << c.name();
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(h, WM_GETFONT, 0, 0)), sizeof font, &font);
        if (c.design().font.family) {
            EXPECT_STREQ(font.lfFaceName, c.design().font.family) << c.name();
        }
    }
    expectMirrored(logic, window);

    auto order = veltaro::layout::tabOrder(logic.layout());
    std::erase_if(order, [&](const auto* c) { return !logic.controls()[c->name].enabled(); });
    SetFocus(window.control(order.front()->name));
    for (std::size_t i = 1; i <= order.size(); ++i) {
        s.press(VK_TAB);
        HWND focus = GetFocus();
        if (GetParent(focus) != parent) // the port list's edit field
            focus = GetParent(focus);
        EXPECT_EQ(focus, window.control(order[i % order.size()]->name))
            << "after " << order[i - 1]->name;
    }
}

} // namespace

// Both windows as their descriptions say, with the main window's client area below the menu bar
// of the described width and of the height the core sets. The About window's client area is its
// designed size, with its corner at the described place on the screen, and holds every control;
// the etched line is grey one pixel high over white two pixels high; Enter and Esc act as OK; one
// window is open at a time, and a closed one is made afresh.
TEST(Window, BothWindowsAreBuiltAsDescribed) {
    Station s;
    s.core.load();
    ShowWindow(s.hwnd(), SW_SHOWNORMAL);
    expectBuiltAsDescribed(s, s.core, s.window);

    // Setup and Hide Setup set the client area below the menu bar (which rows that shows is
    // Layout.TheHeightsCutBetweenRows); the window keeps its place and width.
    SetWindowPos(s.hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const auto place = std::tuple(s.window.left(), s.window.top(), s.window.width());
    for (const bool setup : {false, true, true, false, false, true}) {
        if (setup)
            s.menu("&Setup");
        else
            s.click("hideSetupButton");
        RECT client{};
        GetClientRect(s.hwnd(), &client);
        EXPECT_EQ(client.bottom,
                  scale.pixelsY(setup ? veltaro::MainWindowModel::ExpandedClientHeight
                                      : veltaro::MainWindowModel::CollapsedClientHeight));
        EXPECT_EQ(client.right, scale.pixelsX(s.core.layout().clientWidth));
        EXPECT_EQ(std::tuple(s.window.left(), s.window.top(), s.window.width()), place);
    }

    s.menu("&About");
    veltaro::win32::AboutWindow* window = s.window.about();
    ASSERT_NE(window, nullptr);
    const HWND about = window->hwnd();
    const veltaro::layout::WindowSpec& described = window->box().layout();
    expectBuiltAsDescribed(s, window->box(), *window);
    EXPECT_EQ(windowText(about), "About Veltaro");
    // The client area, where every control has been found at its place above, is the designed
    // size: not the outer size, which would cut off the bottom and the right.
    RECT client{};
    GetClientRect(about, &client);
    MapWindowPoints(about, nullptr, reinterpret_cast<POINT*>(&client), 2);
    EXPECT_EQ(
        corners(client),
        corners(scale.pixels({veltaro::layout::AboutScreenLeft, veltaro::layout::AboutScreenTop,
                              described.clientWidth, described.clientHeight})));

    // The lines, printed on black.
    HDC dc = CreateCompatibleDC(nullptr);
    const int width = client.right - client.left, height = client.bottom - client.top;
    HGDIOBJ old = SelectObject(dc, CreateBitmap(width, height, 1, 32, nullptr));
    PatBlt(dc, 0, 0, width, height, BLACKNESS);
    SendMessageA(about, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    for (const auto& line : described.controls) {
        if (line.kind != Kind::Line)
            continue;
        const int x = scale.pixelsX(line.rect.left + line.rect.width / 2);
        const int y = scale.pixelsY(line.rect.top);
        const COLORREF colour = RGB(line.rgb >> 16, (line.rgb >> 8) & 0xFF, line.rgb & 0xFF);
        for (int dy = 0; dy <= line.pen; ++dy)
            EXPECT_EQ(GetPixel(dc, x, y + dy) == colour, dy < line.pen) << line.name << " " << dy;
    }
    DeleteObject(SelectObject(dc, old));
    DeleteDC(dc);

    for (const UINT key : {VK_RETURN, VK_ESCAPE}) {
        s.menu("&About");
        const HWND shown = s.window.aboutHwnd();
        EXPECT_EQ(shown == about, key == VK_RETURN);
        s.press(key);
        EXPECT_FALSE(IsWindow(shown)) << key;
    }
}

// Each kind of control hands the user's action to its Control, and every window then shows what
// its Control holds: a box's click (the box does not tick itself), a pick in the port list by the
// arrow keys, typing into the port list's field (which runs nothing) or into a text box; the
// button's command is Hide Setup above. A stored 2 shows greyed; On Top moves the window into the
// band above the others and out again; the poll timer reads the rig while a source needs it.
TEST(Window, UserActionsReachTheCoreAndEveryWindowFollowsIt) {
    Station s;
    s.serial.existing.insert(2);
    s.settings.set("CheckHRD", "2");
    s.core.load();
    EXPECT_EQ(SendMessageA(s.control("hrdBox"), BM_GETCHECK, 0, 0), BST_INDETERMINATE);
    for (auto& c : s.core.controls().all()) {
        SCOPED_TRACE(c.name());
        const auto check = c.check();
        if (c.design().kind == Kind::CheckBox) {
            s.click(c.name());
            EXPECT_NE(c.check(), check);
        } else if (c.design().kind == Kind::PortList) {
            SetFocus(s.control(c.name()));
            s.press(VK_DOWN); // nothing is picked at the start: the first item, then port 2
            s.press(VK_DOWN);
            EXPECT_EQ(s.serial.opened, 2);
            const auto writes = s.settings.writes.size();
            SendMessageA(GetFocus(), WM_CHAR, '7', 1);
            EXPECT_EQ(s.settings.writes.size(), writes);
            EXPECT_EQ(s.serial.opened, 2);
        } else if (c.design().kind == Kind::DropDownList && c.enabled()) {
            // The protocol comes first and ungreys the baud rate and direction (and greys the
            // hold): each list that is not greyed moves to its next item.
            SetFocus(s.control(c.name()));
            const std::string before = c.text();
            s.press(VK_DOWN);
            EXPECT_NE(c.text(), before);
        } else if (c.design().kind == Kind::TextBox) {
            SendMessageA(s.control(c.name()), WM_CHAR, '9', 1);
        }
        expectMirrored(s.core, s.window);
    }

    for (const bool on : {true, false}) { // On Top was ticked above
        EXPECT_EQ((GetWindowLongPtrA(s.hwnd(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0, on);
        EXPECT_TRUE(IsWindowVisible(s.hwnd()));
        s.click("onTopBox");
    }
    EXPECT_EQ(s.session.controllerSetup(),
              (veltaro::ControllerSetup{veltaro::ControllerSetup::Protocol::Steppir, 19200,
                                        veltaro::steppir::Direction::Reverse}));
    s.click("trxManagerBox");
    s.automation.frequency = 3.5;
    EXPECT_TRUE(
        wintest::pumpUntil([&] { return windowText(s.control("receivedLabel")) == "3500"; }, 5000));
}

// Closing through the frame and the end of the session unload the core; the program ends once the
// About window has closed too.
TEST(Window, ClosingAndTheEndOfTheSessionUnloadTheCore) {
    for (const auto& [msg, wp, unloads] : {std::tuple{WM_CLOSE, WPARAM{0}, true},
                                           {WM_ENDSESSION, WPARAM{TRUE}, true},
                                           {WM_ENDSESSION, WPARAM{FALSE}, false}}) {
        SCOPED_TRACE(testing::Message() << msg << " " << wp);
        MSG quit{}; // the one posted as the last window before went
        PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        Station s;
        s.core.load();
        s.menu("&About");
        EXPECT_EQ(SendMessageA(s.hwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
        SendMessageA(s.hwnd(), msg, wp, 0);
        EXPECT_EQ(s.core.unloaded(), unloads); // which saves the settings
        const bool closed = msg == WM_CLOSE;
        EXPECT_EQ(IsWindow(s.hwnd()), !closed);
        EXPECT_FALSE(s.window.finished());
        SendMessageA(s.window.aboutHwnd(), WM_CLOSE, 0, 0);
        EXPECT_EQ(s.window.finished(), closed);
        quit = {};
        EXPECT_EQ(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0,
                  closed);
    }
}

// The received-frequency label greys and shows its tooltip as its Control says, and the antenna's
// line stands out as its Control says. A right click on the Hamlib box opens the modal address
// dialog over the greyed main window, and the address typed there and taken with Enter is stored.
TEST(Window, ControlsGreyAndTipAsToldAndTheAddressDialogStoresWhatIsTyped) {
    Station s;
    s.core.load();
    veltaro::Control& label = s.core.controls()["receivedLabel"];
    const std::string tip = "Hamlib at 127.0.0.1:4532: not linked, trying again";
    label.setEnabled(false);
    label.setToolTip(tip);
    EXPECT_FALSE(IsWindowEnabled(s.control("receivedLabel")));
    // The tool of the label's place on the main window, which shows while the label is greyed.
    char shown[128] = {};
    TTTOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = s.hwnd();
    tool.uId = static_cast<UINT_PTR>(GetDlgCtrlID(s.control("receivedLabel")));
    tool.lpszText = shown;
    SendMessageA(s.window.toolTips(), TTM_GETTEXTA, sizeof shown, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(std::string(shown), tip);
    label.setEnabled(true);
    EXPECT_TRUE(IsWindowEnabled(s.control("receivedLabel")));
    // A status line: bold black text on amber for a caution, bold white text on red for an
    // alarm, the usual look again after.
    using veltaro::Emphasis;
    for (const auto& [name, emphasis, back] :
         {std::tuple{"antennaLabel", Emphasis::Caution, RGB(0xFF, 0xBF, 0x00)},
          {"antennaLabel", Emphasis::None, RGB(0xFF, 0xBF, 0x00)},
          {"interlockLabel", Emphasis::Alarm, RGB(0xC8, 0x10, 0x10)},
          {"interlockLabel", Emphasis::None, RGB(0xC8, 0x10, 0x10)}}) {
        SCOPED_TRACE(name);
        const HWND line = s.control(name);
        s.core.controls()[name].setEmphasis(emphasis);
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(line, WM_GETFONT, 0, 0)), sizeof font,
                   &font);
        EXPECT_EQ(font.lfWeight >= FW_BOLD, emphasis != Emphasis::None);
        HDC dc = GetDC(line);
        SendMessageA(s.hwnd(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                     reinterpret_cast<LPARAM>(line));
        const bool on = emphasis != Emphasis::None;
        EXPECT_EQ(GetBkColor(dc) == back, on);
        EXPECT_EQ(GetTextColor(dc) == RGB(0xFF, 0xFF, 0xFF), emphasis == Emphasis::Alarm);
        ReleaseDC(line, dc);
    }

    MSG quit; // a WM_QUIT left by a closed window before
    while (PeekMessageA(&quit, nullptr, 0, 0, PM_REMOVE)) {
    }
    static bool ownerGreyed = false;
    SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dialog = FindWindowA("VeltaroAddress", nullptr);
        HWND box = dialog ? FindWindowExA(dialog, nullptr, "EDIT", nullptr) : nullptr;
        if (!box)
            return;
        KillTimer(nullptr, id);
        ownerGreyed = !IsWindowEnabled(GetWindow(dialog, GW_OWNER));
        SetWindowTextA(box, "127.0.0.1:4533");
        PostMessageA(box, WM_KEYDOWN, VK_RETURN, 1);
    });
    SendMessageA(s.hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(s.control("hamlibBox")), -1);
    EXPECT_TRUE(ownerGreyed);
    EXPECT_EQ(s.settings.values["Veltaro/Addresses/Hamlib"], "127.0.0.1:4533");
    EXPECT_EQ(FindWindowA("VeltaroAddress", nullptr), nullptr);
    EXPECT_TRUE(IsWindowEnabled(s.hwnd()));
}

TEST(Dialogs, PostedBoxesOpenOneAfterTheOtherOnceMessagesArePumped) {
    // A timer counts the boxes captioned "Posted" as they open, and the times it finds two open,
    // and closes each after three ticks while it is open.
    static HWND box = nullptr;
    static int boxes = 0, together = 0, ticksWhileOpen = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND open = FindWindowA("#32770", "Posted");
        if (!open || !IsWindowVisible(open))
            return;
        boxes += open != box;
        together += FindWindowExA(nullptr, open, "#32770", "Posted") != nullptr;
        box = open;
        if (++ticksWhileOpen % 3 == 0)
            PostMessageA(box, WM_COMMAND, IDOK, 0);
    });
    {
        veltaro::win32::Win32Dialogs dialogs;
        dialogs.postMessage("Serial write failed", "Posted");
        dialogs.postMessage("Settings not saved", "Posted");
        EXPECT_EQ(boxes, 0); // not shown before the caller returns to the loop
        EXPECT_TRUE(wintest::pumpUntil(
            [] { return boxes == 2 && !FindWindowA("#32770", "Posted"); }, 10000));
        // Boxes still queued when the object goes are dropped.
        veltaro::win32::Win32Dialogs gone;
        gone.postMessage("Dropped", "Posted");
    }
    EXPECT_FALSE(wintest::pumpUntil([] { return boxes > 2; }, 300));
    EXPECT_EQ(together, 0);
    KillTimer(nullptr, timer);
}
