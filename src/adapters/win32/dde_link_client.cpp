#include "adapters/win32/dde_link_client.h"

#include "base/errors.h"

#include <windows.h>

#include <ddeml.h>

#include <map>
#include <utility>

namespace veltaro::win32 {

namespace {

// DDEML callbacks carry no context pointer; each client instance registers itself here under
// its instance id. Only the user-interface thread creates links.
std::map<DWORD, DdeLinkClient*>& clientsById() {
    thread_local std::map<DWORD, DdeLinkClient*> map;
    return map;
}

constexpr UINT NewsMessage = WM_APP + 1;
constexpr const char* WatchClass = "VeltaroDdeWatch";

std::string textOf(DWORD inst, HSZ hsz) {
    char buf[256] = {};
    DdeQueryStringA(inst, hsz, buf, sizeof buf, CP_WINANSI);
    return buf;
}

// How deep the thread is in DDEML callbacks: no instance may be uninitialised there.
thread_local int callbackDepth = 0;

HDDEDATA handle(UINT type, HCONV conv, HSZ hsz1, HDDEDATA data) {
    if (type == XTYP_REGISTER || type == XTYP_UNREGISTER) {
        // Each instance hears of it: tell every client, once per callback.
        for (const auto& [inst, client] : clientsById())
            client->onServiceNews(textOf(inst, hsz1), type == XTYP_REGISTER);
        return nullptr;
    }
    DdeLinkClient* client = nullptr;
    for (const auto& entry : clientsById())
        if (entry.second->owns(conv))
            client = entry.second;
    if (!client)
        return type == XTYP_ADVDATA ? reinterpret_cast<HDDEDATA>(DDE_FNOTPROCESSED) : nullptr;
    switch (type) {
    case XTYP_ADVDATA:
        client->onAdvData(conv, data);
        return reinterpret_cast<HDDEDATA>(DDE_FACK);
    case XTYP_DISCONNECT:
        client->onDisconnect(conv);
        return nullptr;
    default:
        return nullptr;
    }
}

HDDEDATA CALLBACK ddeCallback(UINT type, UINT, HCONV conv, HSZ hsz1, HSZ, HDDEDATA data, ULONG_PTR,
                              ULONG_PTR) {
    ++callbackDepth;
    const HDDEDATA result = handle(type, conv, hsz1, data);
    --callbackDepth;
    return result;
}

// Whether the server still holds the conversation: Wine keeps one that the server ended, without
// telling, as not connected.
bool connected(void* conv) {
    CONVINFO info{};
    info.cb = sizeof info;
    return DdeQueryConvInfo(static_cast<HCONV>(conv), QID_SYNC, &info) != 0 &&
           (info.wStatus & ST_CONNECTED) != 0;
}

class Hsz {
public:
    Hsz(DWORD inst, const std::string& s)
        : inst_(inst), h_(DdeCreateStringHandleA(inst, s.c_str(), CP_WINANSI)) {}
    ~Hsz() {
        if (h_)
            DdeFreeStringHandle(inst_, h_);
    }
    Hsz(const Hsz&) = delete;
    Hsz& operator=(const Hsz&) = delete;
    HSZ get() const { return h_; }

private:
    DWORD inst_;
    HSZ h_;
};

// The text of a CF_TEXT data handle, up to its first zero byte.
std::string textOf(HDDEDATA data) {
    std::string s;
    DWORD size = 0;
    if (const LPBYTE p = DdeAccessData(data, &size)) {
        s.assign(reinterpret_cast<const char*>(p), size);
        DdeUnaccessData(data);
    }
    const auto nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    return s;
}

LRESULT CALLBACK watchProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* client = reinterpret_cast<DdeLinkClient*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (msg != NewsMessage || !client)
        return DefWindowProcA(h, msg, wp, lp);
    // Nothing may unwind through user32.
    try {
        client->onNewsMessage();
    } catch (...) {
    }
    return 0;
}

} // namespace

DdeLinkClient::DdeLinkClient() {
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = watchProc;
    wc.hInstance = instance;
    wc.lpszClassName = WatchClass;
    RegisterClassExA(&wc); // fails harmlessly when already registered
    HWND window =
        CreateWindowExA(0, WatchClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
    DWORD inst = 0;
    const UINT rc = DdeInitializeA(&inst, ddeCallback, APPCMD_CLIENTONLY, 0);
    if (rc != DMLERR_NO_ERROR) {
        DestroyWindow(window);
        throw LinkError("DDE is not available (error " + std::to_string(rc) + ")");
    }
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    window_ = window;
    inst_ = inst;
    clientsById()[inst] = this;
}

DdeLinkClient::~DdeLinkClient() {
    disconnect();
    clientsById().erase(inst_);
    DdeUninitialize(inst_);
    DestroyWindow(static_cast<HWND>(window_));
}

void DdeLinkClient::watch(const Address& address, std::function<void()> onAppeared) {
    disconnect();
    watched_ = address.service;
    onAppeared_ = std::move(onAppeared);
}

// A server that quits unregisters its service; one that starts registers it. For the service of
// the link while it is up, a registration means that the conversation is over (Wine never sends
// XTYP_DISCONNECT, and on Windows a crashed server's conversation can end without one); after an
// unregistration, of the service or of one whose name is already gone, the conversation is looked
// at. The conversation of the moment is kept, so that news heard before a link was made does not
// end that link.
void DdeLinkClient::onServiceNews(const std::string& service, bool registered) {
    const bool linked = conv_ && !settingUp_;
    const bool ours = lstrcmpiA(service.c_str(), (linked ? service_ : watched_).c_str()) == 0;
    if (linked) {
        if (registered && !ours)
            return; // another service
        (ours ? endedConv_ : checkedConv_) = conv_;
    } else if (!(registered && ours && onAppeared_)) {
        return;
    }
    appeared_ = appeared_ || (registered && ours);
    if (!newsPosted_)
        newsPosted_ = PostMessageA(static_cast<HWND>(window_), NewsMessage, 0, 0);
}

// The loss is told first; a server that registered the service is then told to the watch that
// the loss handler may have set, so that linking again need not wait for a retry.
void DdeLinkClient::onNewsMessage() {
    newsPosted_ = false;
    const bool appeared = std::exchange(appeared_, false);
    void* const ended = std::exchange(endedConv_, nullptr);
    void* const checked = std::exchange(checkedConv_, nullptr);
    if (conv_ && (ended == conv_ || (checked == conv_ && !connected(conv_)))) {
        const Loss lost = onLost_;
        drop();
        if (lost)
            lost();
    }
    // A copy: the handler connects, which ends the watch.
    if (const auto onAppeared = appeared ? onAppeared_ : nullptr)
        onAppeared();
}

// A conversation still open is disconnected. One that the server ended stays in Wine's instance,
// where it cannot be disconnected and makes every new conversation with the same service and
// topic fail: the instance is replaced by a fresh one then.
void DdeLinkClient::drop() {
    if (!conv_)
        return;
    HCONV conv = static_cast<HCONV>(conv_);
    const bool open = connected(conv);
    forget();
    if (open) {
        DdeDisconnect(conv);
        return;
    }
    DWORD inst = 0;
    if (callbackDepth > 0 ||
        DdeInitializeA(&inst, ddeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return;
    clientsById().erase(inst_);
    DdeUninitialize(inst_);
    inst_ = inst;
    clientsById()[inst] = this;
}

void DdeLinkClient::connect(const Address& address, Delivery onValue, Loss onLost) {
    disconnect();
    Hsz service(inst_, address.service);
    Hsz topic(inst_, address.topic);
    HCONV conv = DdeConnect(inst_, service.get(), topic.get(), nullptr);
    if (!conv)
        throw LinkError(address.service + " is not running (no answer on DDE)");
    conv_ = conv;
    service_ = address.service;
    settingUp_ = true;
    hszItem_ = DdeCreateStringHandleA(inst_, address.item.c_str(), CP_WINANSI);
    // Our own reference to the item's global atom, held while the link lives. Some servers
    // (Wine's DDEML among them) answer a request with the data and an acknowledgement as well;
    // that stray acknowledgement completes the hot-link start below at once, and the atom it
    // releases would be gone before the server reads the advise message, so the server would
    // refuse the hot link while we believe it running.
    itemAtom_ = GlobalAddAtomA(address.item.c_str());
    const auto fail = [&](const std::string& what) {
        const UINT err = DdeGetLastError(inst_);
        drop();
        throw LinkError(what + " (DDE error " + std::to_string(err) + ")");
    };
    // The transactions below dispatch messages while they wait: the server may end the
    // conversation meanwhile, or a handler run from there may end or replace the link.
    const auto ended = [&] {
        if (conv_ == conv)
            return;
        DdeDisconnect(conv); // refused harmlessly when it has ended already
        throw LinkError("the program ended the DDE link while it was being made");
    };
    HSZ item = static_cast<HSZ>(hszItem_);
    DWORD result = 0;
    HDDEDATA data =
        DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, TimeoutMs, &result);
    if (data && conv_ == conv)
        pending_.push_back(textOf(data));
    if (data)
        DdeFreeDataHandle(data);
    ended();
    if (!data)
        fail("the program refused to give " + address.item);
    const bool advising =
        DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_ADVSTART, TimeoutMs, &result);
    ended();
    if (!advising)
        fail("the program refused the hot link on " + address.item);
    settingUp_ = false;
    onValue_ = std::move(onValue);
    onLost_ = std::move(onLost);
    deliverPending();
}

void DdeLinkClient::deliverPending() {
    // The requested value first, then the changes advised while the hot link was being started,
    // in the order they came; none once a handler has ended or replaced the link.
    const auto values = std::move(pending_);
    pending_.clear();
    const Delivery deliver = onValue_;
    const unsigned long generation = generation_;
    for (const auto& v : values) {
        if (generation != generation_)
            break;
        if (deliver)
            deliver(v);
    }
}

void DdeLinkClient::disconnect() {
    watched_.clear();
    onAppeared_ = nullptr;
    if (!conv_)
        return;
    if (!settingUp_ && connected(conv_))
        DdeClientTransaction(nullptr, 0, static_cast<HCONV>(conv_), static_cast<HSZ>(hszItem_),
                             CF_TEXT, XTYP_ADVSTOP, TimeoutMs, nullptr);
    drop();
}

void DdeLinkClient::forget() {
    ++generation_;
    conv_ = nullptr;
    settingUp_ = false;
    pending_.clear();
    onValue_ = nullptr;
    onLost_ = nullptr;
    if (hszItem_)
        DdeFreeStringHandle(inst_, static_cast<HSZ>(hszItem_));
    hszItem_ = nullptr;
    if (itemAtom_)
        GlobalDeleteAtom(itemAtom_);
    itemAtom_ = 0;
}

void DdeLinkClient::onAdvData(void* conv, void* data) {
    if (conv != conv_ || !data)
        return;
    std::string value = textOf(static_cast<HDDEDATA>(data));
    if (settingUp_) {
        pending_.push_back(std::move(value));
        return;
    }
    // A copy: the handler may end or replace the link, and with it the handler held here.
    // Failures of the handlers end here: they must not unwind through DDEML.
    const Delivery deliver = onValue_;
    try {
        if (deliver)
            deliver(value);
    } catch (...) {
    }
}

// Wine's DDEML never sends XTYP_DISCONNECT to a client (the server's end of a conversation goes
// unnoticed there), so the loss of a link is seen on Windows only.
void DdeLinkClient::onDisconnect(void* conv) {
    if (conv != conv_)
        return;
    const Loss lost = settingUp_ ? Loss() : onLost_;
    forget();
    try {
        if (lost)
            lost();
    } catch (...) {
    }
}

} // namespace veltaro::win32
