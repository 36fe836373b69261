// Test helper: prints the text of each control of the top-level window of a class, one a line.
// Usage: window_text.exe CLASS. Exit code 3 when there is no such window.
#include <windows.h>

#include <cstdio>

namespace {

BOOL CALLBACK print(HWND control, LPARAM) {
    char text[512] = {};
    DWORD_PTR length = 0;
    if (SendMessageTimeoutA(control, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                            SMTO_ABORTIFHUNG, 2000, &length) &&
        text[0])
        std::printf("%s\n", text);
    return TRUE;
}

} // namespace

int main(int argc, char** argv) {
    const HWND window = argc > 1 ? FindWindowA(argv[1], nullptr) : nullptr;
    if (!window)
        return 3;
    EnumChildWindows(window, print, 0);
    return 0;
}
