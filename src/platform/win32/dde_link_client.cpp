#include "platform/win32/dde_link_client.h"

#include "platform/errors.h"

#include <windows.h>

#include <ddeml.h>

#include <map>

namespace veltaro::win32 {

namespace {

// DDEML callbacks carry no context pointer; each client instance registers itself here under
// its instance id. Only the user-interface thread creates links.
std::map<DWORD, DdeLinkClient*>& clientsById() {
    thread_local std::map<DWORD, DdeLinkClient*> map;
    return map;
}

HDDEDATA CALLBACK ddeCallback(UINT type, UINT, HCONV conv, HSZ, HSZ, HDDEDATA data, ULONG_PTR,
                              ULONG_PTR) {
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

} // namespace

std::string ddeText(const unsigned char* data, unsigned long size) {
    std::string s(reinterpret_cast<const char*>(data), size);
    const auto nul = s.find('\0');
    if (nul != std::string::npos)
        s.resize(nul);
    return s;
}

DdeLinkClient::DdeLinkClient() {
    DWORD inst = 0;
    const UINT rc = DdeInitializeA(&inst, ddeCallback, APPCMD_CLIENTONLY, 0);
    if (rc != DMLERR_NO_ERROR)
        throw LinkError("DDE is not available (error " + std::to_string(rc) + ")");
    inst_ = inst;
    clientsById()[inst] = this;
}

DdeLinkClient::~DdeLinkClient() {
    closeLink();
    clientsById().erase(inst_);
    DdeUninitialize(inst_);
}

void DdeLinkClient::closeLink() {
    if (!conv_)
        return;
    HCONV conv = static_cast<HCONV>(conv_);
    conv_ = nullptr;
    if (hszItem_) {
        DdeClientTransaction(nullptr, 0, conv, static_cast<HSZ>(hszItem_), CF_TEXT, XTYP_ADVSTOP,
                             TimeoutMs, nullptr);
        DdeFreeStringHandle(inst_, static_cast<HSZ>(hszItem_));
        hszItem_ = nullptr;
    }
    DdeDisconnect(conv);
    releaseItemAtom();
}

void DdeLinkClient::releaseItemAtom() {
    if (itemAtom_)
        GlobalDeleteAtom(itemAtom_);
    itemAtom_ = 0;
}

void DdeLinkClient::setLinkMode(std::int16_t mode) {
    closeLink();
    if (mode == 0)
        return;
    const auto bar = topic_.find('|');
    if (bar == std::string::npos)
        throw LinkError("Invalid link topic " + topic_);
    Hsz service(inst_, topic_.substr(0, bar));
    Hsz topic(inst_, topic_.substr(bar + 1));
    HCONV conv = DdeConnect(inst_, service.get(), topic.get(), nullptr);
    if (!conv)
        throw LinkError("No foreign application responded to a DDE initiate");
    HSZ item = DdeCreateStringHandleA(inst_, item_.c_str(), CP_WINANSI);
    // Our own reference to the item's global atom, held while the link lives. Some servers
    // (Wine's DDEML among them) answer a request with the data and an acknowledgement as well;
    // that stray acknowledgement completes the hot-link start below at once, and the atom it
    // releases would be gone before the server reads the advise message, so the server would
    // refuse the hot link while we believe it running.
    itemAtom_ = GlobalAddAtomA(item_.c_str());
    auto fail = [&](const char* what) {
        const UINT err = DdeGetLastError(inst_);
        conv_ = nullptr;
        settingUp_ = false;
        DdeFreeStringHandle(inst_, item);
        DdeDisconnect(conv);
        releaseItemAtom();
        throw LinkError(std::string(what) + " (DDE error " + std::to_string(err) + ")");
    };
    conv_ = conv;
    settingUp_ = true;
    pending_.clear();
    DWORD result = 0;
    HDDEDATA data =
        DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_REQUEST, TimeoutMs, &result);
    if (!data)
        fail("The DDE server refused the request");
    DWORD size = 0;
    if (const LPBYTE p = DdeAccessData(data, &size)) {
        pending_.push_back(ddeText(p, size));
        DdeUnaccessData(data);
    }
    DdeFreeDataHandle(data);
    if (!DdeClientTransaction(nullptr, 0, conv, item, CF_TEXT, XTYP_ADVSTART, TimeoutMs, &result))
        fail("The DDE server refused the hot link");
    hszItem_ = item;
    settingUp_ = false;
    // The requested value first, then the changes advised while the hot link was being started,
    // in the order they came.
    auto values = std::move(pending_);
    pending_.clear();
    for (auto& v : values)
        deliver(std::move(v));
}

void DdeLinkClient::deliver(std::string value) {
    if (deliver_)
        deliver_(value);
}

void DdeLinkClient::onAdvData(void* conv, void* data) {
    if (conv != conv_ || !data)
        return;
    std::string value;
    DWORD size = 0;
    HDDEDATA h = static_cast<HDDEDATA>(data);
    if (const LPBYTE p = DdeAccessData(h, &size)) {
        value = ddeText(p, size);
        DdeUnaccessData(h);
    }
    if (settingUp_) {
        pending_.push_back(std::move(value));
        return;
    }
    // Failures of the handlers end here: they must not unwind through DDEML.
    try {
        deliver(value);
    } catch (...) {
    }
}

void DdeLinkClient::onDisconnect(void* conv) {
    if (conv == conv_) {
        conv_ = nullptr;
        if (hszItem_) {
            DdeFreeStringHandle(inst_, static_cast<HSZ>(hszItem_));
            hszItem_ = nullptr;
        }
        releaseItemAtom();
    }
}

} // namespace veltaro::win32
