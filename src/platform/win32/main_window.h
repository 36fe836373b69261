// Responsibilities: the thin Win32 front end: the main window with its menus and controls laid
// out in twips at the system DPI, mirroring frmMain's control models and forwarding the user's
// actions to its handlers; WM_TIMER at 100 ms driving Timer1_Timer while a tick has work to do;
// closing through the frame, and the end of the Windows session, run Form_Unload. It is the
// IWindowHost of frmMain and shows the one modeless About dialog.
// Collaborations: main.cpp creates it before frmMain and binds the two; AboutWindow hosts frmAbout.
#pragma once

#include "about/frm_about.h"
#include "platform/window_host.h"
#include "shell/frm_main.h"

#include <windows.h>

#include <memory>

namespace veltaro::win32 {

class AboutWindow;

// Twips to pixels at the given DPI, rounded.
int twipsToPixels(double twips, int dpi);

class MainWindow : public IWindowHost {
public:
    static constexpr const char* ClassName = "VeltaroMain";

    MainWindow(HINSTANCE instance, AboutPlatform about);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Connects the window to the form's controls and handlers.
    void bind(frmMain& form);
    HWND hwnd() const { return hwnd_; }
    // The About dialog's window while it is open.
    HWND aboutHwnd() const;
    // The message loop's keyboard handling of the main window and the About dialog (Tab between
    // the controls, Enter and Esc): true when the message has been dispatched here.
    bool preTranslate(MSG& msg);
    // True once the main window and the About dialog have both closed.
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
    double twipsPerPixelX() const override { return 1440.0 / dpiX_; }
    double twipsPerPixelY() const override { return 1440.0 / dpiY_; }
    void setWindowPos(bool topmost, int x, int y, int cx, int cy) override;
    void close() override;
    void showAbout() override;

private:
    static LRESULT CALLBACK proc(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
    void createControls();
    HWND child(const char* cls, const char* text, DWORD style, int id, double l, double t, double w,
               double h);
    void command(int id, int code);
    void updateTimer();
    RECT rect() const;
    void aboutClosed();

    HINSTANCE instance_;
    AboutPlatform aboutPlatform_;
    HWND hwnd_ = nullptr;
    int dpiX_ = 96;
    int dpiY_ = 96;
    HFONT guiFont_ = nullptr;
    HFONT freqFont_ = nullptr;
    frmMain* form_ = nullptr;
    bool timerRunning_ = false;
    bool mainClosed_ = false;
    std::unique_ptr<AboutWindow> about_;
};

} // namespace veltaro::win32
