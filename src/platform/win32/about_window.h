// Responsibilities: the modeless About dialog window: fixed dialog frame, the controls laid out
// in twips, the etched separator (grey line, white line 15 twips below), Enter and Esc acting as
// OK; it mirrors frmAbout's texts and forwards OK and System Info.
// Collaborations: MainWindow creates it on Help > About and drops it when it has closed.
#pragma once

#include "about/frm_about.h"

#include <windows.h>

#include <functional>
#include <memory>

namespace veltaro::win32 {

class AboutWindow {
public:
    static constexpr const char* ClassName = "VeltaroAbout";

    AboutWindow(HINSTANCE instance, AboutPlatform platform, std::function<void()> closed);
    ~AboutWindow();
    AboutWindow(const AboutWindow&) = delete;
    AboutWindow& operator=(const AboutWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    void show();
    frmAbout& form() { return *form_; }

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    HWND child(const char* cls, const char* text, DWORD style, int id, double l, double t, double w,
               double h);
    int px(double twips, bool vertical) const;
    void paintSeparator(HDC dc);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT font_ = nullptr;
    std::unique_ptr<frmAbout> form_;
    std::function<void()> closed_;
};

} // namespace veltaro::win32
