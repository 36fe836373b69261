#include "support.h"

#include <memory>

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
    Process p(commandLine);
    return p.wait(ms);
}

bool pumpUntil(const std::function<bool()>& cond, unsigned long ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    while (!cond()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return true;
}

DdeStandIn::DdeStandIn(const std::string& args) {
    const std::string event = "VeltaroDdeStandInReady" + std::to_string(GetCurrentProcessId());
    HANDLE ev = CreateEventA(nullptr, TRUE, FALSE, event.c_str());
    proc_ = std::make_unique<Process>("\"" + binDir() + "\\dde_standin.exe\" " + args +
                                      " --ready " + event);
    ready_ = WaitForSingleObject(ev, 15000) == WAIT_OBJECT_0;
    CloseHandle(ev);
}

RawValue readRaw(HKEY root, const std::string& key, const std::string& name) {
    RawValue v;
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return v;
    char buf[1024];
    DWORD size = sizeof buf;
    if (RegQueryValueExA(h, name.c_str(), nullptr, &v.type, reinterpret_cast<BYTE*>(buf), &size) ==
        ERROR_SUCCESS) {
        v.found = true;
        v.bytes.assign(buf, size);
    }
    RegCloseKey(h);
    return v;
}

} // namespace wintest
