// Stand-in for TRX-Manager's automation server FTLink: an out-of-process COM server whose type
// library (embedded as resource TYPELIB 1) carries the real class and interface ids.
//   ftlink_standin.exe /regserver     registers the class and the type library, then ends
//   ftlink_standin.exe /unregserver   removes both
//   ftlink_standin.exe -Embedding     started by COM: serves until the last object is released
// It is steered and watched through HKCU\Software\VeltaroTest\FTLink, read on every call:
//   MHz     (REG_SZ)    the frequency that place 246 reports ("." decimal point; missing: 14.074)
//   Refuse  (REG_SZ)    "first": place 7 fails; "trx": the object has no frequency interface;
//                       "frequency": place 246 fails
//   Live    (REG_DWORD) written by the server: its objects alive
//   Sinks   (REG_DWORD) written by the server: the notification sinks it holds
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>

namespace {

constexpr CLSID ClsidFtLink = {
    0xAD389A93, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidServer = {
    0xAD389A92, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidTrx = {
    0x9FC1B9EC, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};
constexpr IID IidTrxEvents = {
    0x9FC1B9ED, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};
constexpr GUID LibId = {
    0xAD389A96, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr const char* ClsidText = "{AD389A93-FD1A-11D1-9FFC-8703DD3BB166}";
constexpr const char* ControlKey = "Software\\VeltaroTest\\FTLink";

LONG objects = 0; // live objects; the server ends when it falls to zero
LONG sinks = 0;
DWORD mainThread = 0;
DWORD classCookie = 0;

std::string control(const char* name) {
    char buf[64] = {};
    DWORD size = sizeof buf - 1;
    if (RegGetValueA(HKEY_CURRENT_USER, ControlKey, name, RRF_RT_REG_SZ, nullptr, buf, &size) !=
        ERROR_SUCCESS)
        return {};
    return buf;
}

bool refused(const char* what) {
    return control("Refuse") == what;
}

void report(const char* name, LONG n) {
    const DWORD v = static_cast<DWORD>(n);
    RegSetKeyValueA(HKEY_CURRENT_USER, ControlKey, name, REG_DWORD, &v, sizeof v);
}

double configuredMHz() {
    const std::string mhz = control("MHz");
    return mhz.empty() ? 14.074 : std::strtod(mhz.c_str(), nullptr);
}

// The frequency interface: places 7 to 245 are unused entries, 246 the frequency.
// clang-format off
#define VELTARO_R(n) virtual HRESULT STDMETHODCALLTYPE Reserved##n() { return E_NOTIMPL; }
#define VELTARO_R10(n) VELTARO_R(n##0) VELTARO_R(n##1) VELTARO_R(n##2) VELTARO_R(n##3) \
    VELTARO_R(n##4) VELTARO_R(n##5) VELTARO_R(n##6) VELTARO_R(n##7) VELTARO_R(n##8) VELTARO_R(n##9)
#define VELTARO_R100(n) VELTARO_R10(n##0) VELTARO_R10(n##1) VELTARO_R10(n##2) VELTARO_R10(n##3) \
    VELTARO_R10(n##4) VELTARO_R10(n##5) VELTARO_R10(n##6) VELTARO_R10(n##7) VELTARO_R10(n##8) \
    VELTARO_R10(n##9)
struct IFTRig : IDispatch {
    VELTARO_R(7) VELTARO_R(8) VELTARO_R(9) VELTARO_R10(1) VELTARO_R10(2) VELTARO_R10(3)
    VELTARO_R10(4) VELTARO_R10(5) VELTARO_R10(6) VELTARO_R10(7) VELTARO_R10(8) VELTARO_R10(9)
    VELTARO_R100(1) VELTARO_R10(20) VELTARO_R10(21) VELTARO_R10(22) VELTARO_R10(23)
    VELTARO_R(240) VELTARO_R(241) VELTARO_R(242) VELTARO_R(243) VELTARO_R(244) VELTARO_R(245)
    virtual HRESULT STDMETHODCALLTYPE get_Frequency(double* mhz) = 0;
};
// clang-format on

struct IFTLink : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Rig(IDispatch** rig) = 0;
};

// Reference counting and an IDispatch without names (the client calls the entries by place),
// shared by the objects; the server ends when the last object goes.
template <class... Interfaces> class Object : public Interfaces... {
public:
    Object() { report("Live", InterlockedIncrement(&objects)); }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG n = InterlockedDecrement(&refs_);
        if (n == 0) {
            delete this;
            const LONG left = InterlockedDecrement(&objects);
            if (left == 0) {
                // No new client may reach this server once it is ending.
                CoRevokeClassObject(classCookie);
                classCookie = 0;
                PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
            }
            report("Live", left);
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override {
        return E_NOTIMPL;
    }

protected:
    virtual ~Object() = default;
    // Answers a query with the first interface whose id matches.
    HRESULT answer(void** out, std::initializer_list<std::pair<bool, IUnknown*>> matches) {
        *out = nullptr;
        for (const auto& [match, itf] : matches)
            if (match) {
                *out = itf;
                itf->AddRef();
                return S_OK;
            }
        return E_NOINTERFACE;
    }

private:
    LONG refs_ = 1;
};

// A frequency object, and its notification connection point that keeps a sink and never
// calls it.
class Rig : public Object<IFTRig, IConnectionPointContainer, IConnectionPoint> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return answer(
            out,
            {{iid == IID_IUnknown || iid == IID_IDispatch || (iid == IidTrx && !refused("trx")),
              static_cast<IFTRig*>(this)},
             {iid == IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)},
             {iid == IID_IConnectionPoint, static_cast<IConnectionPoint*>(this)}});
    }
    HRESULT STDMETHODCALLTYPE get_Frequency(double* mhz) override {
        if (refused("frequency"))
            return E_FAIL;
        *mhz = configuredMHz();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = nullptr;
        if (iid != IidTrxEvents)
            return CONNECT_E_NOCONNECTION;
        return QueryInterface(IID_IConnectionPoint, reinterpret_cast<void**>(cp));
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        *iid = IidTrxEvents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** c) override {
        return QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(c));
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (sink_)
            return CONNECT_E_ADVISELIMIT;
        sink_ = sink;
        sink_->AddRef();
        report("Sinks", InterlockedIncrement(&sinks));
        *cookie = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_)
            return CONNECT_E_NOCONNECTION;
        letSinkGo();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

private:
    ~Rig() override { letSinkGo(); }
    void letSinkGo() {
        if (!sink_)
            return;
        sink_->Release();
        sink_ = nullptr;
        report("Sinks", InterlockedDecrement(&sinks));
    }
    IUnknown* sink_ = nullptr;
};

class Link : public Object<IFTLink> {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        return answer(out,
                      {{iid == IID_IUnknown || iid == IID_IDispatch || iid == IidServer, this}});
    }
    HRESULT STDMETHODCALLTYPE Rig(IDispatch** rig) override {
        *rig = nullptr;
        if (refused("first"))
            return E_FAIL;
        *rig = static_cast<IFTRig*>(new class Rig);
        return S_OK;
    }
};

class Factory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IClassFactory)) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Link* link = new Link;
        const HRESULT hr = link->QueryInterface(iid, out);
        link->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

std::wstring exePathW() {
    wchar_t buf[MAX_PATH];
    GetModuleFileNameW(nullptr, buf, MAX_PATH);
    return buf;
}

int registerServer() {
    ITypeLib* lib = nullptr;
    if (FAILED(LoadTypeLibEx(exePathW().c_str(), REGKIND_REGISTER, &lib)))
        return 4;
    lib->Release();
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string key = std::string("Software\\Classes\\CLSID\\") + ClsidText;
    HKEY h = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + "\\LocalServer32").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &h, nullptr) != ERROR_SUCCESS)
        return 5;
    RegSetValueExA(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(exe),
                   static_cast<DWORD>(strlen(exe) + 1));
    RegCloseKey(h);
    return 0;
}

int unregisterServer() {
    UnRegisterTypeLib(LibId, 1, 0, LOCALE_NEUTRAL, SYS_WIN64);
    const std::string key = std::string("Software\\Classes\\CLSID\\") + ClsidText;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    return 0;
}

int serve() {
    mainThread = GetCurrentThreadId();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 6;
    static Factory factory;
    if (FAILED(CoRegisterClassObject(ClsidFtLink, &factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE,
                                     &classCookie)))
        return 7;
    // Ends when the last object goes, or after a minute without a client at all.
    SetTimer(nullptr, 0, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr && objects == 0)
            break;
        DispatchMessageA(&msg);
    }
    if (classCookie)
        CoRevokeClassObject(classCookie);
    CoUninitialize();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "/regserver" || a == "-regserver")
            return registerServer();
        if (a == "/unregserver" || a == "-unregserver")
            return unregisterServer();
    }
    return serve();
}
