#include "platform/win32/platform_win32.h"

#include "platform/errors.h"

#include <windows.h>

namespace veltaro::win32 {

namespace {

std::string errorText(const std::string& what, DWORD code) {
    return what + " (error " + std::to_string(code) + ")";
}

bool writeAll(HANDLE h, const std::string& bytes) {
    DWORD written = 0;
    return WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool replaceAtomically(const std::string& path, const std::string& bytes) {
    const std::string tmp = path + ".new";
    HANDLE h = CreateFileA(tmp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    const bool ok = writeAll(h, bytes) && FlushFileBuffers(h);
    CloseHandle(h);
    if (ok &&
        MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(tmp.c_str());
    return false;
}

} // namespace

Win32FileSystem::Win32FileSystem(std::string folder) : folder_(std::move(folder)) {}

std::string Win32FileSystem::exeFolder() {
    std::string buf(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n < buf.size()) {
            buf.resize(n);
            break;
        }
        buf.resize(buf.size() * 2);
    }
    const auto slash = buf.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : buf.substr(0, slash);
}

std::string Win32FileSystem::inProgramFolder(const std::string& fileName) const {
    return (folder_.empty() ? exeFolder() : folder_) + "\\" + fileName;
}

void Win32FileSystem::writeFile(const std::string& path, const std::string& bytes) {
    if (replaceAtomically(path, bytes))
        return;
    // The target is held open by a reader (or the folder refuses new files): rewrite in place.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw FileError(errorText("Cannot write " + path, GetLastError()));
    const bool ok = writeAll(h, bytes) && SetEndOfFile(h);
    const DWORD code = GetLastError();
    CloseHandle(h);
    if (!ok)
        throw FileError(errorText("Cannot write " + path, code));
}

bool Win32FileSystem::isOrdinaryFile(const std::string& path) const {
    const DWORD a = GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES)
        return false;
    return (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

void Win32Dialogs::messageBox(const std::string& text, const std::string& caption) {
    MessageBoxA(static_cast<HWND>(owner_), text.c_str(), caption.c_str(), MB_OK);
}

void Win32Launcher::startProgram(const std::string& path) {
    if (path.empty())
        throw Error("No program to start");
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + path + "\"";
    if (!CreateProcessA(path.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        throw Error(errorText("Cannot start " + path, GetLastError()));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}

void Win32Help::showHelp(int command, const std::string& file) {
    // The viewer reports a missing file itself.
    WinHelpA(static_cast<HWND>(owner_), file.c_str(), static_cast<UINT>(command), 0);
}

void Win32System::Sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

NumberFormat numberFormatFromLocale() {
    NumberFormat f;
    char buf[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1)
        f.decimal = buf[0];
    return f;
}

} // namespace veltaro::win32
