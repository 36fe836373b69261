// Responsibilities: message boxes with an OK button, shown at once or posted. Posted boxes wait
// in a queue for a private message to a message-only window of the object; they open one after
// the other, each in MessageBox's own loop, which goes on dispatching the thread's timers and
// links. Boxes still queued when the object goes are dropped.
// Collaborations: the main window's model and the About and address windows show their messages
// through it; main() shows what is still queued as the program ends.
#pragma once

#include "view/dialogs.h"

#include <deque>
#include <string>
#include <utility>

namespace veltaro::win32 {

class Win32Dialogs : public IDialogs {
public:
    Win32Dialogs() = default;
    ~Win32Dialogs() override;
    Win32Dialogs(const Win32Dialogs&) = delete;
    Win32Dialogs& operator=(const Win32Dialogs&) = delete;

    void setOwner(void* hwnd) { owner_ = hwnd; }
    void messageBox(const std::string& text, const std::string& caption) override;
    void postMessage(const std::string& text, const std::string& caption) override;
    // Shows the queued boxes now, one after the other (for notices raised as the program ends).
    void showPosted();

private:
    void* owner_ = nullptr;
    void* poster_ = nullptr; // the message-only window, created by the first postMessage
    std::deque<std::pair<std::string, std::string>> posted_;
    bool showing_ = false;
};

} // namespace veltaro::win32
