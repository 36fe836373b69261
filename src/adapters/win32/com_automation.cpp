#include "adapters/win32/com_automation.h"

#include "base/errors.h"

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>
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

std::string hresultText(const char* what, HRESULT hr) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(hr));
    return std::string(what) + " (HRESULT 0x" + buf + ")";
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

void ComAutomationClient::make(Launch launch) {
    if (launch == Launch::RunningOnly) {
        // Only a server that has put itself in the running object table: nothing is started.
        IUnknown* running = nullptr;
        HRESULT hr = GetActiveObject(ClsidFtLink, nullptr, &running);
        if (SUCCEEDED(hr) && running) {
            hr = running->QueryInterface(IidServer, reinterpret_cast<void**>(&server_));
            running->Release();
        }
        if (FAILED(hr) || !server_) {
            server_ = nullptr;
            throw LinkError(hresultText("FTLink is not running", hr));
        }
    } else {
        const HRESULT created = CoCreateInstance(ClsidFtLink, nullptr, CLSCTX_SERVER, IidServer,
                                                 reinterpret_cast<void**>(&server_));
        if (FAILED(created) || !server_) {
            server_ = nullptr;
            throw LinkError(hresultText("FTLink cannot be created", created));
        }
    }
    using FirstFn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, IDispatch**);
    IDispatch* first = nullptr;
    HRESULT hr = entryAt<FirstFn>(server_, PlaceFirstObject)(server_, &first);
    if (FAILED(hr) || !first)
        throw LinkError(hresultText("The server's first operation failed", hr));
    // Only the frequency interface of the object is kept.
    hr = first->QueryInterface(IidTrx, reinterpret_cast<void**>(&trx_));
    first->Release();
    if (FAILED(hr) || !trx_) {
        trx_ = nullptr;
        throw LinkError(hresultText("The object has no frequency interface", hr));
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
        throw LinkError("FTLink is not connected");
    using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, double*);
    double mhz = 0;
    const HRESULT hr = entryAt<Fn>(trx_, PlaceFrequency)(trx_, &mhz);
    if (FAILED(hr))
        throw LinkError(hresultText("Reading the frequency failed", hr));
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
