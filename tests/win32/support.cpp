#include "support.h"

#include <algorithm>

namespace wintest {

std::string binDir() {
    char buf[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string p(buf, n);
    return p.substr(0, p.find_last_of("\\/"));
}

Process::Process(const std::string& commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = commandLine;
    if (!CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi_))
        pi_ = {};
}

Process::~Process() {
    if (pi_.hProcess) {
        if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
            TerminateProcess(pi_.hProcess, 1);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
}

long Process::wait(unsigned long ms) {
    if (!pi_.hProcess || WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
}

long run(const std::string& commandLine, unsigned long ms) {
    return Process(commandLine).wait(ms);
}

bool pumpUntil(const std::function<bool()>& cond, unsigned long ms) {
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

DdeStandIn::DdeStandIn(const std::string& args) {
    char file[MAX_PATH];
    GetTempFileNameA(binDir().c_str(), "dde", 0, file); // creates it
    DeleteFileA(file);
    proc_ = std::make_unique<Process>("\"" + binDir() + "\\dde_standin.exe\" " + args +
                                      " --ready-file \"" + file + "\"");
    ready_ = pumpUntil([&] { return GetFileAttributesA(file) != INVALID_FILE_ATTRIBUTES; }, 15000);
    DeleteFileA(file);
}

} // namespace wintest
