#include "frontends/win32/dialogs_win32.h"

#include "adapters/win32/message_window_win32.h"

#include <windows.h>

namespace veltaro::win32 {

namespace {

constexpr const char* PosterClass = "VeltaroPostedBoxes";
constexpr UINT ShowPosted = WM_USER + 1;

LRESULT CALLBACK posterProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == ShowPosted) {
        if (auto* self = reinterpret_cast<Win32Dialogs*>(GetWindowLongPtrA(h, GWLP_USERDATA)))
            self->showPosted();
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

} // namespace

Win32Dialogs::~Win32Dialogs() {
    // Destroying the window drops the private messages still queued for it.
    if (poster_ && IsWindow(static_cast<HWND>(poster_))) {
        SetWindowLongPtrA(static_cast<HWND>(poster_), GWLP_USERDATA, 0);
        DestroyWindow(static_cast<HWND>(poster_));
    }
}

void Win32Dialogs::messageBox(const std::string& text, const std::string& caption) {
    MessageBoxA(static_cast<HWND>(owner_), text.c_str(), caption.c_str(), MB_OK);
}

void Win32Dialogs::postMessage(const std::string& text, const std::string& caption) {
    if (!poster_) {
        poster_ = makeMessageWindow(PosterClass, posterProc, this);
        if (!poster_) {
            messageBox(text, caption); // no window to post to: show it at once rather than never
            return;
        }
    }
    posted_.emplace_back(text, caption);
    PostMessageA(static_cast<HWND>(poster_), ShowPosted, 0, 0);
}

void Win32Dialogs::showPosted() {
    // A box posted while one is open waits for it; the open box's caller shows it next.
    if (showing_)
        return;
    showing_ = true;
    // A pending WM_QUIT (the program is ending) would close each box at once: it waits until
    // they have been read.
    MSG quit{};
    const bool quitting = PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    while (!posted_.empty()) {
        const auto [text, caption] = std::move(posted_.front());
        posted_.pop_front();
        // The owner may have closed meanwhile (a notice of the closing itself).
        HWND owner = IsWindow(static_cast<HWND>(owner_)) ? static_cast<HWND>(owner_) : nullptr;
        MessageBoxA(owner, text.c_str(), caption.c_str(), MB_OK);
    }
    showing_ = false;
    if (quitting)
        PostQuitMessage(static_cast<int>(quit.wParam));
}

} // namespace veltaro::win32
