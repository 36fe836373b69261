// Responsibilities: the Win32 main window: the menu bar and the client area built from the
// window's description (ControlWindows), and the window itself for its model (IWindowHost: outer
// geometry in twips, the height below the menu bar, keep-above, closing, the one modeless About
// window, the modal address dialog). A right click (WM_CONTEXTMENU) on a control that has a
// context menu runs it. Closing it through the frame or the end of the Windows session unloads
// the model; the program is finished once it and the About window have both closed.
// Collaborations: main.cpp creates it before the MainWindowModel and attaches the two;
// AboutWindow hosts the About box. The message loop passes every message through preTranslate.
#pragma once

#include "frontends/win32/control_windows.h"
#include "view/about_box.h"
#include "view/window_host.h"
#include "view/window_layout.h"

#include <windows.h>

#include <memory>
#include <string_view>

namespace veltaro {
class MainWindowModel;
}

namespace veltaro::win32 {

class AboutWindow;

class Win32MainWindow : public IWindowHost {
public:
    static constexpr const char* ClassName = "VeltaroMain";
    // Menu item IDs: FirstMenuId plus the item's index in the described menu.
    static constexpr int FirstMenuId = 200;

    Win32MainWindow(HINSTANCE instance, AboutPlatform about);
    ~Win32MainWindow() override;
    Win32MainWindow(const Win32MainWindow&) = delete;
    Win32MainWindow& operator=(const Win32MainWindow&) = delete;

    // Builds the menu bar and the controls of the model's window, sized as described, and
    // forwards the user's actions to it. Call once, before model.load(); the model must stay
    // until the message loop has ended.
    void attach(veltaro::MainWindowModel& model);
    HWND hwnd() const { return hwnd_; }
    // The child window of a described control, once attached.
    HWND control(std::string_view name) const;
    // The tooltip window of the controls, once attached.
    HWND toolTips() const { return controls_ ? controls_->toolTips() : nullptr; }
    // The About window while it is open.
    AboutWindow* about() const;
    HWND aboutHwnd() const;
    // The message loop's keyboard handling of the main window and the About window (Tab between
    // the controls, Enter and Esc): true when the message has been dispatched here.
    bool preTranslate(MSG& msg);
    // True once the main window and the About window have both closed.
    bool finished() const;

    double left() const override;
    double top() const override;
    double width() const override;
    double height() const override;
    void setLeft(double twips) override;
    void setTop(double twips) override;
    void setClientHeight(double twips) override;
    // CW_USEDEFAULT places the window as it is created.
    bool placed() const override { return hwnd_ != nullptr; }
    double twipsPerPixelX() const override { return scale_.x; }
    double twipsPerPixelY() const override { return scale_.y; }
    void setKeepAbove(bool above, PixelRect outer) override;
    void close() override;
    void showAbout() override;
    void showAddressDialog(AddressDialogModel& dialog) override;

private:
    template <class Window> friend LRESULT CALLBACK forwardToWindow(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void buildMenu(const layout::WindowSpec& window);
    void command(int id, int code, HWND from);
    RECT rect() const;
    void aboutClosed();

    HINSTANCE instance_;
    AboutPlatform aboutPlatform_;
    Scale scale_;
    HWND hwnd_ = nullptr;
    veltaro::MainWindowModel* model_ = nullptr;
    std::unique_ptr<ControlWindows> controls_;
    bool mainClosed_ = false;
    std::unique_ptr<AboutWindow> about_;
};

} // namespace veltaro::win32
