// Test helper: posts WM_CLOSE to the top-level window of a class and waits until its process
// has ended. Usage: close_window.exe CLASS [timeout-ms]. Exit code 0 when it ended in time.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const DWORD timeout = argc > 2 ? static_cast<DWORD>(std::stoul(argv[2])) : 20000;
    HWND w = FindWindowA(argv[1], nullptr);
    if (!w)
        return 3;
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    HANDLE p = OpenProcess(SYNCHRONIZE, FALSE, pid);
    PostMessageA(w, WM_CLOSE, 0, 0);
    if (!p)
        return 4;
    const DWORD r = WaitForSingleObject(p, timeout);
    CloseHandle(p);
    return r == WAIT_OBJECT_0 ? 0 : 5;
}
