// Stand-in for TRX-Manager's automation server FTLink: an out-of-process COM server whose type
// library (embedded as resource TYPELIB 1, which the tests register) carries the real class and
// interface ids. It is steered and watched through HKCU\Software\VeltaroTest\FTLink, read on every
// call:
//   MHz     (REG_SZ)    the frequency that place 246 reports ("." decimal point)
//   Refuse  (REG_SZ)    "first": place 7 fails; "trx": the object it makes has no frequency
//                       interface; "frequency": place 246 fails
//   Live    (REG_DWORD) written by the server: its objects alive
//   Sinks   (REG_DWORD) written by the server: the notification sinks it holds
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>
#include <olectl.h>

#include <cstdlib>
#include <string>

namespace {

constexpr CLSID ClsidFtLink = {
    0xAD389A93, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidServer = {
    0xAD389A92, 0xFD1A, 0x11D1, {0x9F, 0xFC, 0x87, 0x03, 0xDD, 0x3B, 0xB1, 0x66}};
constexpr IID IidTrx = {
    0x9FC1B9EC, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};
constexpr IID IidTrxEvents = {
    0x9FC1B9ED, 0x0558, 0x11D2, {0x9F, 0xFC, 0x98, 0xD0, 0x48, 0xBD, 0xA3, 0x7B}};
constexpr const char* ControlKey = "Software\\VeltaroTest\\FTLink";

// The server's one thread serves every call.
DWORD objects = 0, sinks = 0;
DWORD classCookie = 0;
bool startedByUser = false; // serves until it is ended, whatever its objects

std::string control(const char* name) {
    char buf[64] = {};
    DWORD size = sizeof buf - 1;
    RegGetValueA(HKEY_CURRENT_USER, ControlKey, name, RRF_RT_REG_SZ, nullptr, buf, &size);
    return buf;
}

void report(const char* name, DWORD n) {
    RegSetKeyValueA(HKEY_CURRENT_USER, ControlKey, name, REG_DWORD, &n, sizeof n);
}

// An entry that no test reaches.
// clang-format off
#define UNUSED_ENTRY(signature) HRESULT STDMETHODCALLTYPE signature override { return E_NOTIMPL; }
// clang-format on

// Unused entries from place 3 up to Place, one added by each level: IDispatch's four too, as
// nothing is called by name.
template <int Place> struct Unused : Unused<Place - 1> {
    using Unused<Place - 1>::unused;
    virtual HRESULT STDMETHODCALLTYPE unused(Unused*) { return E_NOTIMPL; }
};
template <> struct Unused<2> : IUnknown { void unused(); };
struct IFTLink : Unused<6> {
    virtual HRESULT STDMETHODCALLTYPE Rig(IUnknown** rig) = 0; // place 7
};
struct IFTRig : Unused<245> {
    virtual HRESULT STDMETHODCALLTYPE get_Frequency(double* mhz) = 0; // place 246
};

// The server object, or the frequency object that its first operation makes, with the
// notification connection point that keeps one sink and never calls it; a sink stays counted
// until it is unadvised. The server ends when its last object goes.
class Object final : public IFTLink,
                     public IFTRig,
                     public IConnectionPointContainer,
                     public IConnectionPoint {
public:
    explicit Object(bool rig) : rig_(rig) { report("Live", ++objects); }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || (!rig_ && iid == IidServer))
            *out = static_cast<IFTLink*>(this);
        else if (rig_ && iid == IidTrx && control("Refuse") != "trx")
            *out = static_cast<IFTRig*>(this);
        else if (rig_ && iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (rig_ && iid == IID_IConnectionPoint)
            *out = static_cast<IConnectionPoint*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs_ > 0)
            return refs_;
        delete this;
        if (--objects == 0 && !startedByUser) { // no new client may reach a server that ends
            CoRevokeClassObject(classCookie);
            PostQuitMessage(0);
        }
        report("Live", objects);
        return 0;
    }
    HRESULT STDMETHODCALLTYPE Rig(IUnknown** rig) override {
        *rig = control("Refuse") == "first" ? nullptr : static_cast<IFTRig*>(new Object(true));
        return *rig ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_Frequency(double* mhz) override {
        *mhz = std::strtod(control("MHz").c_str(), nullptr);
        return control("Refuse") == "frequency" ? E_FAIL : S_OK;
    }

    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** cp) override {
        *cp = nullptr;
        if (iid != IidTrxEvents)
            return CONNECT_E_NOCONNECTION;
        return QueryInterface(IID_IConnectionPoint, reinterpret_cast<void**>(cp));
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        (sink_ = sink)->AddRef(); // a second sink would be counted as well
        report("Sinks", ++sinks);
        *cookie = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 1 || !sink_)
            return CONNECT_E_NOCONNECTION;
        sink_->Release();
        sink_ = nullptr;
        report("Sinks", --sinks);
        return S_OK;
    }
    UNUSED_ENTRY(EnumConnectionPoints(IEnumConnectionPoints**))
    UNUSED_ENTRY(GetConnectionInterface(IID*))
    UNUSED_ENTRY(GetConnectionPointContainer(IConnectionPointContainer**))
    UNUSED_ENTRY(EnumConnections(IEnumConnections**))

private:
    const bool rig_;
    ULONG refs_ = 1;
    IUnknown* sink_ = nullptr; // never released unless unadvised
};

// The class object, kept by COM while it is registered.
struct Factory : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID iid, void** out) override {
        IFTLink* server = new Object(false);
        const HRESULT hr = server->QueryInterface(iid, out);
        server->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

} // namespace

// Started by COM, which the tests have told where the server is; serves until its last object is
// released. Started by the user, it serves until the process is ended: with /running its server
// object is in the running object table (and no class object is registered), with /started its
// class object is registered as COM's would be, and nothing is in the table.
int main(int argc, char** argv) {
    static Factory factory;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const std::string mode = argc > 1 ? argv[1] : "";
    startedByUser = mode == "/running" || mode == "/started"; // COM adds -Embedding
    // Only reached through the table, so that a test may end it without leaving a class
    // registration behind.
    DWORD activeCookie = 0;
    if (mode == "/running") {
        if (FAILED(RegisterActiveObject(static_cast<IFTLink*>(new Object(false)), ClsidFtLink,
                                        ACTIVEOBJECT_STRONG, &activeCookie)))
            return 3;
    } else if (FAILED(CoRegisterClassObject(ClsidFtLink, &factory, CLSCTX_LOCAL_SERVER,
                                            REGCLS_MULTIPLEUSE, &classCookie))) {
        return 2;
    }
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    CoUninitialize();
    return 0;
}
