// The Win32 front end: On Top moves the real window into and out of the topmost band, the
// layout follows the twips of the designed form at the screen's DPI, and the controls mirror
// the form's models.
#include "platform/win32/main_window.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

struct FrontEnd {
    veltaro::win32::Win32Registry registry;
    veltaro::win32::Win32FileSystem files;
    veltaro::win32::Win32Launcher launcher;
    wintest::Form parts;
    veltaro::win32::MainWindow window{GetModuleHandleA(nullptr),
                                      {registry, files, launcher, parts.dialogs}};
    std::unique_ptr<veltaro::frmMain> form;
    FrontEnd() {
        form = std::make_unique<veltaro::frmMain>(veltaro::MainPlatform{
            parts.closedPort, parts.settings, parts.files, parts.noLink, parts.noAutomation, window,
            parts.dialogs, parts.system, parts.help, veltaro::NumberFormat{'.'}});
        window.bind(*form);
    }
    LONG_PTR exStyle() const { return GetWindowLongPtrA(window.hwnd(), GWL_EXSTYLE); }
    HWND control(const char* text) const {
        return FindWindowExA(window.hwnd(), nullptr, nullptr, text);
    }
};

} // namespace

TEST(Window, TwipsBecomePixelsAtTheScreenDpi) {
    struct Case {
        double twips;
        int dpi;
        int pixels;
    };
    for (const Case& c : {Case{1455, 96, 97}, Case{1440, 96, 96}, Case{1455, 120, 121},
                          Case{15, 96, 1}, Case{0, 144, 0}, Case{-60, 96, -4}}) {
        SCOPED_TRACE(c.twips);
        EXPECT_EQ(veltaro::win32::twipsToPixels(c.twips, c.dpi), c.pixels);
    }
}

TEST(Window, OnTopSetsAndClearsTopmostAndStoresTheBox) {
    FrontEnd fe;
    fe.form->Form_Load();
    EXPECT_FALSE(fe.exStyle() & WS_EX_TOPMOST);
    fe.form->CheckOnTop.click();
    EXPECT_TRUE(fe.exStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(IsWindowVisible(fe.window.hwnd()));
    EXPECT_EQ(fe.parts.settings.values["CheckOnTop"], "1");
    EXPECT_EQ(SendMessageA(fe.control("On Top"), BM_GETCHECK, 0, 0), BST_CHECKED);
    fe.form->CheckOnTop.click();
    EXPECT_FALSE(fe.exStyle() & WS_EX_TOPMOST);
    EXPECT_EQ(fe.parts.settings.values["CheckOnTop"], "0");
}

TEST(Window, SetupAndHideSetupChangeOnlyTheHeight) {
    FrontEnd fe;
    fe.form->Form_Load();
    const double left = fe.window.left();
    const double top = fe.window.top();
    fe.form->mnuSetup_Click();
    EXPECT_NEAR(fe.window.height(), 3105, fe.window.twipsPerPixelY());
    fe.form->CmdReturn_Click();
    EXPECT_NEAR(fe.window.height(), 1455, fe.window.twipsPerPixelY());
    EXPECT_EQ(fe.window.left(), left);
    EXPECT_EQ(fe.window.top(), top);
}

TEST(Window, ClosingThroughTheFrameRunsFormUnload) {
    FrontEnd fe;
    fe.form->Form_Load();
    const int before = fe.parts.settings.writes;
    SendMessageA(fe.window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(fe.window.hwnd()));
    EXPECT_EQ(fe.parts.settings.writes - before, 6); // SaveAllSettings once
    EXPECT_TRUE(fe.window.finished());
}
