#include "adapters/win32/com_automation.h"

#include "base/errors.h"

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <utility>

namespace veltaro::win32 {

namespace {

// FTLink's class and interfaces.
constexpr CLSID ClsidFtLink = {
    0xAD389A93, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidServer = {
    0xAD389A92, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidTrx = {
    0x9FC1B9EC, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};
constexpr IID IidTrxEvents = {
    0x9FC1B9ED, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};

constexpr int PlaceFirstObject = 7;
constexpr int PlaceFrequency = 246;

// The class's key under HKEY_CLASSES_ROOT.
constexpr const wchar_t* ClassKey = L"CLSID\\{AD389A93-FD1A-11D1-9FFC-8703DD3BB166}\\LocalServer32";

std::string hresultText(const std::string& what, HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(hr));
    return what + " (error 0x" + buf + ")";
}

// The server has ended, or let go of its clients.
bool serverGone(HRESULT hr) {
    return hr == RPC_E_DISCONNECTED || hr == RPC_E_SERVER_DIED || hr == RPC_E_SERVER_DIED_DNE ||
           hr == HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE) || hr == CO_E_OBJNOTCONNECTED;
}

// The image of the class's registered local server, as a full long path where it exists; empty
// when the class is not registered.
std::wstring registeredServer() {
    wchar_t command[MAX_PATH * 2] = {};
    DWORD size = sizeof command - sizeof command[0];
    // A REG_EXPAND_SZ value comes expanded.
    if (RegGetValueW(HKEY_CLASSES_ROOT, ClassKey, nullptr, RRF_RT_REG_SZ, nullptr, command,
                     &size) != ERROR_SUCCESS)
        return {};
    // "C:\Program Files\TRX\trx.exe" /automation, or the same unquoted.
    std::wstring image = command;
    if (!image.empty() && image[0] == L'"') {
        image = image.substr(1, image.find(L'"', 1) - 1);
    } else {
        std::wstring lower = image;
        CharLowerW(lower.data());
        const auto exe = lower.find(L".exe");
        if (exe != std::wstring::npos)
            image.resize(exe + 4);
    }
    wchar_t full[MAX_PATH] = {};
    const DWORD fullLength = GetLongPathNameW(image.c_str(), full, MAX_PATH);
    if (fullLength > 0 && fullLength < MAX_PATH)
        image = full;
    return image;
}

std::wstring fileNameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L"\\/") + 1);
}

// How long a server's process must have run before it counts as running: a server that has
// just started may not have registered its class object yet, and creating the object then would
// start a second server.
constexpr ULONGLONG SettledMs = 3000;

enum class ServerProcess { None, Starting, Running };

// Whether a process runs the image: the same file name, and the same full path where the process
// lets it be read; and whether it has run long enough.
ServerProcess processOf(const std::wstring& image) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ServerProcess::None;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    ServerProcess found = ServerProcess::None;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && found != ServerProcess::Running;
         more = Process32NextW(snapshot, &entry)) {
        if (lstrcmpiW(fileNameOf(entry.szExeFile).c_str(), fileNameOf(image).c_str()) != 0)
            continue;
        const HANDLE process =
            OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID);
        if (!process) { // not ours to look into: taken on its name
            found = ServerProcess::Running;
            continue;
        }
        wchar_t path[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        FILETIME created{}, ignored{}, now{};
        const bool same = !QueryFullProcessImageNameW(process, 0, path, &length) ||
                          lstrcmpiW(path, image.c_str()) == 0;
        GetSystemTimeAsFileTime(&now);
        const auto ms = [](const FILETIME& t) {
            return ((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10000;
        };
        if (same)
            found = GetProcessTimes(process, &created, &ignored, &ignored, &ignored) &&
                            ms(now) - ms(created) < SettledMs
                        ? ServerProcess::Starting
                        : ServerProcess::Running;
        CloseHandle(process);
    }
    CloseHandle(snapshot);
    return found;
}

template <typename Fn> Fn entryAt(IUnknown* p, int place) {
    void** vtbl = *reinterpret_cast<void***>(p);
    return reinterpret_cast<Fn>(vtbl[place]);
}

void release(IUnknown*& p) {
    if (p)
        p->Release();
    p = nullptr;
}

// The notification sink: answers to the notification interface and ignores every call.
class NullSink : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
            IsEqualIID(iid, IidTrxEvents)) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0)
            delete this;
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        if (n)
            *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return S_OK;
    }

private:
    virtual ~NullSink() = default;
    LONG refs_ = 1;
};

} // namespace

ComAutomationClient::~ComAutomationClient() {
    disconnect();
}

// The new objects are made before the old ones go, so that a server which ends with its last
// object is not asked for new ones while it ends.
void ComAutomationClient::connect(Launch launch) {
    ComAutomationClient fresh;
    try {
        fresh.make(launch);
    } catch (...) {
        disconnect();
        throw;
    }
    disconnect();
    std::swap(server_, fresh.server_);
    std::swap(trx_, fresh.trx_);
    std::swap(point_, fresh.point_);
    std::swap(cookie_, fresh.cookie_);
}

// A running server is found without starting one: in the running object table, where a
// server may put itself, or else by its registered image among the running processes; creating
// the object then attaches to the class object that the running server registered.
void ComAutomationClient::attach(Launch launch) {
    if (launch == Launch::RunningOnly) {
        IUnknown* running = nullptr;
        if (SUCCEEDED(GetActiveObject(ClsidFtLink, nullptr, &running)) && running) {
            const HRESULT hr =
                running->QueryInterface(IidServer, reinterpret_cast<void**>(&server_));
            running->Release();
            if (SUCCEEDED(hr) && server_)
                return;
            server_ = nullptr;
        }
        const std::wstring image = registeredServer();
        if (image.empty())
            throw LinkError("TRX-Manager is not installed (its automation server is not "
                            "registered)");
        switch (processOf(image)) {
        case ServerProcess::None:
            throw LinkError("TRX-Manager is not running");
        case ServerProcess::Starting:
            throw LinkError("TRX-Manager is starting");
        case ServerProcess::Running:
            break;
        }
    }
    const DWORD where = launch == Launch::RunningOnly ? CLSCTX_LOCAL_SERVER : CLSCTX_SERVER;
    const HRESULT hr = CoCreateInstance(ClsidFtLink, nullptr, where, IidServer,
                                        reinterpret_cast<void**>(&server_));
    if (SUCCEEDED(hr) && server_)
        return;
    server_ = nullptr;
    if (hr == REGDB_E_CLASSNOTREG)
        throw LinkError("TRX-Manager is not installed (its automation server is not registered)");
    throw LinkError(hresultText(launch == Launch::RunningOnly ? "TRX-Manager does not answer"
                                                              : "TRX-Manager cannot be started",
                                hr));
}

void ComAutomationClient::make(Launch launch) {
    attach(launch);
    using FirstFn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, IDispatch**);
    IDispatch* first = nullptr;
    HRESULT hr = entryAt<FirstFn>(server_, PlaceFirstObject)(server_, &first);
    if (FAILED(hr) || !first)
        throw LinkError(hresultText("TRX-Manager did not give access to the radio", hr));
    // Only the frequency interface of the object is kept.
    hr = first->QueryInterface(IidTrx, reinterpret_cast<void**>(&trx_));
    first->Release();
    if (FAILED(hr) || !trx_) {
        trx_ = nullptr;
        throw LinkError(hresultText("TRX-Manager does not offer the radio's frequency", hr));
    }
    subscribe();
}

void ComAutomationClient::subscribe() {
    IConnectionPointContainer* container = nullptr;
    if (FAILED(trx_->QueryInterface(IID_IConnectionPointContainer,
                                    reinterpret_cast<void**>(&container))) ||
        !container)
        return;
    IConnectionPoint* point = nullptr;
    const HRESULT found = container->FindConnectionPoint(IidTrxEvents, &point);
    container->Release();
    if (FAILED(found) || !point)
        return;
    NullSink* sink = new NullSink;
    DWORD cookie = 0;
    const HRESULT advised = point->Advise(sink, &cookie);
    sink->Release();
    if (FAILED(advised)) {
        point->Release();
        return;
    }
    point_ = point;
    cookie_ = cookie;
}

double ComAutomationClient::frequencyMHz() {
    if (!trx_)
        throw LinkError("TRX-Manager is not linked");
    using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, double*);
    double mhz = 0;
    const HRESULT hr = entryAt<Fn>(trx_, PlaceFrequency)(trx_, &mhz);
    if (serverGone(hr))
        throw LinkError("TRX-Manager has ended");
    if (FAILED(hr))
        throw LinkError(hresultText("TRX-Manager did not give the frequency", hr));
    return mhz;
}

void ComAutomationClient::disconnect() {
    if (point_)
        static_cast<IConnectionPoint*>(point_)->Unadvise(cookie_);
    release(point_);
    cookie_ = 0;
    release(trx_);
    release(server_);
}

} // namespace veltaro::win32
