// Helpers of the Windows tests: the test program's folder, where the stand-ins are built, and
// pumping messages while waiting.
#pragma once

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>

namespace wintest {

inline std::string binDir() {
    char buf[MAX_PATH];
    const std::string path(buf, GetModuleFileNameA(nullptr, buf, MAX_PATH));
    return path.substr(0, path.find_last_of("\\/"));
}

// Dispatches window messages until cond() holds or the time is up; returns cond().
inline bool pumpUntil(const std::function<bool()>& cond, DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!cond()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        // Wakes at least every 20 ms, for conditions that no message announces.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::min(end - now, 20ull)),
                                  QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

} // namespace wintest
