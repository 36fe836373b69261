// The Win32 front end: On Top moves the real window into and out of the topmost band, the
// layout follows the twips of the designed form at the screen's DPI, and the controls mirror
// the form's models.
#include "platform/win32/main_window.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

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
};

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

TEST(Window, SetupAndHideSetupChangeOnlyTheHeight) {
    FrontEnd fe;
    const double left = fe.window.left(), top = fe.window.top();
    fe.form.mnuSetup_Click();
    EXPECT_NEAR(fe.window.height(), 3105, fe.window.twipsPerPixelY());
    fe.form.CmdReturn_Click();
    EXPECT_NEAR(fe.window.height(), 1455, fe.window.twipsPerPixelY());
    EXPECT_EQ(fe.window.left(), left);
    EXPECT_EQ(fe.window.top(), top);
}

TEST(Window, ClosingThroughTheFrameRunsFormUnloadOnce) {
    FrontEnd fe;
    const int before = fe.parts.settings.writesOf("Position-Left");
    SendMessageA(fe.window.hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(fe.window.hwnd()));
    EXPECT_EQ(fe.parts.settings.writesOf("Position-Left") - before, 1);
    EXPECT_TRUE(fe.window.finished());
}
