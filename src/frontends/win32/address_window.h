// Responsibilities: the modal address dialog: a fixed dialog frame over its owner whose client area
// is the core's description of the dialog (ControlWindows), the core's title in its title bar,
// the address box focused with its text selected; OK and Enter run OK, Cancel, Esc and the
// frame's close button run Cancel, and the dialog closes once the core has finished it. While it
// is open the owner is disabled and the messages of the thread go on being dispatched (timers,
// links, the serial line).
// Collaborations: Win32MainWindow::showAddressDialog runs one for an AddressDialogModel, which
// checks and stores the address.
#pragma once

#include <windows.h>

#include <memory>
#include <string_view>

namespace veltaro {
class AddressDialogModel;
}

namespace veltaro::win32 {

class ControlWindows;

class AddressWindow {
public:
    static constexpr const char* ClassName = "VeltaroAddress";

    AddressWindow(HINSTANCE instance, HWND owner, veltaro::AddressDialogModel& dialog);
    ~AddressWindow();
    AddressWindow(const AddressWindow&) = delete;
    AddressWindow& operator=(const AddressWindow&) = delete;

    // Shows the dialog and returns once it has closed; a WM_QUIT met meanwhile is posted again.
    void run();

private:
    template <class Window> friend LRESULT CALLBACK forwardToWindow(HWND, UINT, WPARAM, LPARAM);
    LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);

    HWND owner_;
    veltaro::AddressDialogModel& dialog_;
    HWND hwnd_ = nullptr;
    std::unique_ptr<ControlWindows> controls_;
};

} // namespace veltaro::win32
