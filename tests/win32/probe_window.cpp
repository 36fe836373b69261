// Test helper: measures how long the top-level window of a class takes to answer, for a while.
// Usage: probe_window.exe CLASS MILLISECONDS. Sends WM_NULL every 20 ms and prints the longest
// wait; exit code 0 when every message was answered within 2 seconds, 3 when there is no window.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    HWND w = argc > 2 ? FindWindowA(argv[1], nullptr) : nullptr;
    if (!w)
        return 3;
    const ULONGLONG end = GetTickCount64() + std::strtoul(argv[2], nullptr, 10);
    ULONGLONG longest = 0;
    int count = 0;
    bool hung = false;
    for (; GetTickCount64() < end && IsWindow(w); ++count, Sleep(20)) {
        const ULONGLONG start = GetTickCount64();
        hung |= !SendMessageTimeoutA(w, WM_NULL, 0, 0, SMTO_NORMAL, 2000, nullptr);
        longest = std::max(longest, GetTickCount64() - start);
    }
    std::printf("%s answered %d messages, the longest wait %llu ms\n", argv[1], count, longest);
    return hung ? 5 : 0;
}
