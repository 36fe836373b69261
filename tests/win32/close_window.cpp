// Test helper: posts WM_CLOSE to the top-level window of a class and waits until its process
// has ended. Usage: close_window.exe CLASS. Exit code 0 when it ended within 20 seconds.
#include <windows.h>

int main(int argc, char** argv) {
    HWND w = argc > 1 ? FindWindowA(argv[1], nullptr) : nullptr;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!w || !p)
        return 3;
    PostMessageA(w, WM_CLOSE, 0, 0);
    const DWORD r = WaitForSingleObject(p, 20000);
    CloseHandle(p);
    return r == WAIT_OBJECT_0 ? 0 : 5;
}
