#include "platform/win32/com_automation.h"

#include "platform/errors.h"

#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <cstdio>

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

// Holds one reference.
class Ref {
public:
    explicit Ref(IUnknown* p = nullptr) : p_(p) {}
    ~Ref() {
        if (p_)
            p_->Release();
    }
    Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            if (p_)
                p_->Release();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    IUnknown* get() const { return p_; }

private:
    IUnknown* p_;
};

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

class ComTrxObject : public ITrxObject {
public:
    explicit ComTrxObject(Ref trx) : trx_(std::move(trx)) { subscribe(); }
    ~ComTrxObject() override {
        if (point_.get())
            static_cast<IConnectionPoint*>(point_.get())->Unadvise(cookie_);
    }

    double frequency() override {
        using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, double*);
        double mhz = 0;
        const HRESULT hr = entryAt<Fn>(trx_.get(), PlaceFrequency)(trx_.get(), &mhz);
        if (FAILED(hr))
            throw LinkError(hresultText("Reading the frequency failed", hr));
        return mhz;
    }

private:
    void subscribe() {
        IConnectionPointContainer* cpc = nullptr;
        if (FAILED(trx_.get()->QueryInterface(IID_IConnectionPointContainer,
                                              reinterpret_cast<void**>(&cpc))) ||
            !cpc)
            return;
        Ref container(cpc);
        IConnectionPoint* cp = nullptr;
        if (FAILED(cpc->FindConnectionPoint(IidTrxEvents, &cp)) || !cp)
            return;
        Ref point(cp);
        NullSink* sink = new NullSink;
        DWORD cookie = 0;
        const HRESULT hr = cp->Advise(sink, &cookie);
        sink->Release();
        if (SUCCEEDED(hr)) {
            point_ = std::move(point);
            cookie_ = cookie;
        }
    }

    Ref trx_;
    Ref point_;
    DWORD cookie_ = 0;
};

class ComAutomationObject : public IAutomationObject {
public:
    explicit ComAutomationObject(Ref obj) : obj_(std::move(obj)) {}
    std::unique_ptr<ITrxObject> queryTrx() override {
        IUnknown* trx = nullptr;
        const HRESULT hr = obj_.get()->QueryInterface(IidTrx, reinterpret_cast<void**>(&trx));
        if (FAILED(hr) || !trx)
            throw LinkError(hresultText("The object has no frequency interface", hr));
        return std::make_unique<ComTrxObject>(Ref(trx));
    }

private:
    Ref obj_;
};

class ComTrxServer : public ITrxServer {
public:
    explicit ComTrxServer(Ref server) : server_(std::move(server)) {}
    std::unique_ptr<IAutomationObject> firstObject() override {
        using Fn = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, IDispatch**);
        IDispatch* obj = nullptr;
        const HRESULT hr = entryAt<Fn>(server_.get(), PlaceFirstObject)(server_.get(), &obj);
        if (FAILED(hr) || !obj)
            throw LinkError(hresultText("The server's first operation failed", hr));
        return std::make_unique<ComAutomationObject>(Ref(obj));
    }

private:
    Ref server_;
};

} // namespace

std::unique_ptr<ITrxServer> ComAutomationClient::createTrxServer() {
    IUnknown* server = nullptr;
    const HRESULT hr = CoCreateInstance(ClsidFtLink, nullptr, CLSCTX_SERVER, IidServer,
                                        reinterpret_cast<void**>(&server));
    if (FAILED(hr) || !server)
        throw LinkError(hresultText("FTLink cannot be created", hr));
    return std::make_unique<ComTrxServer>(Ref(server));
}

} // namespace veltaro::win32
