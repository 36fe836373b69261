#include "adapters/win32/message_window_win32.h"

namespace veltaro::win32 {

HWND makeMessageWindow(const char* className, WNDPROC proc, void* owner) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassExA(&wc); // fails harmlessly when already registered
    HWND h = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance,
                             nullptr);
    if (h)
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
    return h;
}

} // namespace veltaro::win32
