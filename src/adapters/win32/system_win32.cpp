#include "adapters/win32/system_win32.h"

#include "base/errors.h"
#include "base/identity.h"

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

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string environment(const char* name) {
    std::string value(MAX_PATH, '\0');
    DWORD n = GetEnvironmentVariableA(name, value.data(), static_cast<DWORD>(value.size()));
    if (n >= value.size()) {
        value.resize(n);
        n = GetEnvironmentVariableA(name, value.data(), n);
    }
    value.resize(n < value.size() ? n : 0);
    return value;
}

bool isFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
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

std::string Win32FileSystem::inUserStateFolder(const std::string& app,
                                               const std::string& fileName) const {
    std::string base = environment("LOCALAPPDATA");
    if (base.empty())
        base = environment("USERPROFILE") + "\\AppData\\Local";
    return base + "\\" + app + "\\" + fileName;
}

bool Win32FileSystem::canWriteBeside(const std::string& path) const {
    char probe[MAX_PATH + 1] = {};
    if (!GetTempFileNameA(folderOf(path).c_str(), "vel", 0, probe))
        return false;
    DeleteFileA(probe);
    return true;
}

void Win32FileSystem::makeFolderFor(const std::string& path) {
    const std::string folder = folderOf(path);
    // Each missing folder on the way, from the top down.
    for (auto at = folder.find_first_of("\\/", 3); at != std::string::npos;
         at = folder.find_first_of("\\/", at + 1))
        CreateDirectoryA(folder.substr(0, at).c_str(), nullptr);
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return;
    const DWORD code = GetLastError();
    if (!isFolder(folder))
        throw FileError(errorText("Cannot create the folder " + folder, code));
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

void Win32Manual::open() {
    WinHelpA(static_cast<HWND>(owner_), app::HelpFile, HELP_CONTENTS, 0);
}

NumberFormat numberFormatFromLocale() {
    NumberFormat f;
    char buf[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buf, sizeof buf) > 1)
        f.decimal = buf[0];
    return f;
}

} // namespace veltaro::win32
