// Responsibilities: the hidden message-only windows the adapters and front end keep for timers
// and posted messages: registered once per class, made with the owner in their user data.
// Collaborations: Win32Timers, Win32SerialLine's reader and Win32Dialogs' poster use it.
#pragma once

#include <windows.h>

namespace veltaro::win32 {

// A message-only window of the class (registered at its first use, with proc) whose
// GWLP_USERDATA points at owner; nullptr when it cannot be made (GetLastError says why).
HWND makeMessageWindow(const char* className, WNDPROC proc, void* owner);

} // namespace veltaro::win32
