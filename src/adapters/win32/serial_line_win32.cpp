#include "adapters/win32/serial_line_win32.h"

#include "adapters/win32/message_window_win32.h"
#include "base/errors.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace veltaro::win32 {

namespace {

std::string lastErrorText(const std::string& what) {
    return what + " (error " + std::to_string(GetLastError()) + ")";
}

// n of "COMn" (any case, 1 to 255 without leading zeros); 0 for any other name.
int comNumber(const std::wstring& name) {
    if (name.size() < 4 || name.size() > 6 || (name[0] | 0x20) != L'c' ||
        (name[1] | 0x20) != L'o' || (name[2] | 0x20) != L'm' || name[3] == L'0' ||
        name.find_first_not_of(L"0123456789", 3) != std::wstring::npos)
        return 0;
    const int n = std::stoi(name.substr(3));
    return n <= 255 ? n : 0;
}

// Under Wine, its dosdevices folder as a Unix path Windows calls take; empty on Windows.
std::wstring wineDosDevices() {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        return {};
    wchar_t prefix[MAX_PATH] = L"";
    if (!GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH)) {
        if (!GetEnvironmentVariableW(L"HOME", prefix, MAX_PATH - 6))
            return {};
        wcscat(prefix, L"/.wine");
    }
    return std::wstring(L"\\\\?\\unix") + prefix + L"/dosdevices/";
}

constexpr const char* ReaderClass = "VeltaroSerialReader";
constexpr UINT_PTR ReadTimer = 1;
// At most this much is handed on per tick, so that a device that never stops sending cannot
// hold the window; the rest waits for the next tick.
constexpr DWORD MaxReadPerTick = 16384;

LRESULT CALLBACK readerProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER && wp == ReadTimer) {
        if (auto* line = reinterpret_cast<Win32SerialLine*>(GetWindowLongPtrA(h, GWLP_USERDATA)))
            line->readAvailable();
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

} // namespace

Win32SerialLine::~Win32SerialLine() {
    close();
    if (window_)
        DestroyWindow(static_cast<HWND>(window_));
}

std::string Win32SerialLine::devicePath(int number) {
    if (number < 1 || number > 255)
        throw PortError("there is no port " + std::to_string(number));
    return "\\\\.\\COM" + std::to_string(number);
}

std::vector<PresentPort> Win32SerialLine::presentPorts() {
    std::vector<int> numbers;
    // The DOS device names, each ended by a NUL, the list by another; grown until it fits.
    std::vector<wchar_t> names(16384);
    while (QueryDosDeviceW(nullptr, names.data(), static_cast<DWORD>(names.size())) == 0) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || names.size() >= (1u << 22)) {
            names.assign(1, L'\0');
            break;
        }
        names.resize(names.size() * 2);
    }
    for (const wchar_t* name = names.data(); *name; name += wcslen(name) + 1)
        if (const int n = comNumber(name); n > 16)
            numbers.push_back(n);
    // Wine leaves the ports linked in $WINEPREFIX/dosdevices out of that list: there a port is
    // present when its link leads to a device.
    if (const std::wstring folder = wineDosDevices(); !folder.empty())
        for (int n = 17; n <= 255; ++n)
            if (GetFileAttributesW((folder + L"com" + std::to_wstring(n)).c_str()) !=
                    INVALID_FILE_ATTRIBUTES ||
                (GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND))
                numbers.push_back(n);
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    std::vector<PresentPort> present;
    for (int n : numbers)
        present.push_back({"Com " + std::to_string(n), n, "COM" + std::to_string(n)});
    return present;
}

void Win32SerialLine::open(int number, int baud) {
    close();
    const std::string path = devicePath(number);
    const std::string port = "COM" + std::to_string(number);
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw PortError(lastErrorText(port + " cannot be opened"));
    handle_ = h;
    try {
        configure(baud);
        startReading();
    } catch (...) {
        close();
        throw;
    }
}

void Win32SerialLine::startReading() {
    if (!window_) {
        window_ = makeMessageWindow(ReaderClass, readerProc, this);
        if (!window_)
            throw PortError(lastErrorText("The serial port's reader cannot be made"));
    }
    // Whatever the driver held from before is not this line's.
    PurgeComm(handle_, PURGE_RXCLEAR);
    if (!SetTimer(static_cast<HWND>(window_), ReadTimer, ReadIntervalMs, nullptr))
        throw PortError(lastErrorText("The serial port's reader cannot be started"));
}

void Win32SerialLine::readAvailable() {
    char buffer[1024];
    for (DWORD total = 0; isOpen() && total < MaxReadPerTick;) {
        // How much the driver holds: asking fails, as reading does, once the device is gone.
        DWORD errors = 0;
        COMSTAT held{};
        DWORD got = 0;
        if (!ClearCommError(handle_, &errors, &held) ||
            (held.cbInQue > 0 &&
             !ReadFile(handle_, buffer, std::min<DWORD>(held.cbInQue, sizeof buffer), &got,
                       nullptr))) {
            close();
            if (const auto lost = onLost_) // a copy: the handler may replace itself
                lost();
            return;
        }
        if (got == 0)
            return;
        total += got;
        if (const auto onBytes = onBytes_)
            onBytes(std::string_view(buffer, got));
    }
}

void Win32SerialLine::configure(int baud) {
    SetupComm(handle_, 1024, 512);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle_, &dcb))
        throw PortError(lastErrorText("GetCommState failed"));
    dcb.BaudRate = static_cast<DWORD>(baud);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = FALSE;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fAbortOnError = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    if (!SetCommState(handle_, &dcb))
        throw PortError(lastErrorText("SetCommState failed"));
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD; // a read returns at once with what the driver holds
    t.WriteTotalTimeoutMultiplier = 20;
    t.WriteTotalTimeoutConstant = WriteTimeoutMs;
    if (!SetCommTimeouts(handle_, &t))
        throw PortError(lastErrorText("SetCommTimeouts failed"));
}

void Win32SerialLine::send(const std::string& bytes) {
    if (!isOpen())
        throw PortError("Operation valid only when the port is open");
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr)) {
        // Without abort-on-error, only a device that is no longer there refuses a write.
        const PortError failure(lastErrorText("Write to the serial port failed"));
        close();
        throw failure;
    }
    if (written != bytes.size())
        throw PortError("Write to the serial port timed out");
}

void Win32SerialLine::close() {
    if (window_)
        KillTimer(static_cast<HWND>(window_), ReadTimer);
    if (handle_) {
        CloseHandle(handle_);
        handle_ = nullptr;
    }
}

} // namespace veltaro::win32
