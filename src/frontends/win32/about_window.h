// Responsibilities: the modeless About window: a fixed dialog frame whose client area is the
// About box's described size with its corner at the described place on the screen, the controls
// and the etched separator built from the description (ControlWindows), the title bar following
// the box's title; OK, Enter, Esc and the frame's close button all act as OK, System Info starts
// the tool. It makes its AboutBox afresh and loads it once the controls are there.
// Collaborations: Win32MainWindow creates it on Help > About and drops it when it has closed; the
// message loop's IsDialogMessage (Win32MainWindow::preTranslate) gives it Tab, Enter and Esc.
#pragma once

#include "view/about_box.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string_view>

namespace veltaro::win32 {

class ControlWindows;

class AboutWindow {
public:
    static constexpr const char* ClassName = "VeltaroAbout";

    // closed runs once the window has been destroyed.
    AboutWindow(HINSTANCE instance, AboutPlatform platform, std::function<void()> closed);
    ~AboutWindow();
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    // nullptr once closed.
    HWND hwnd() const { return hwnd_; }
    HWND control(std::string_view name) const;
    AboutBox& box() { return box_; }
    // Shows the window in front, the focus on its first control.
    void show();

private:
    template <class Window> friend LRESULT CALLBACK forwardToWindow(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

    HWND hwnd_ = nullptr;
    std::function<void()> closed_;
    AboutBox box_;
    std::unique_ptr<ControlWindows> controls_;
};

} // namespace veltaro::win32
