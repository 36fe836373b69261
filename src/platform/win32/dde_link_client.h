// Responsibilities: the DDE client link of Text1 through DDEML: LinkMode 1 connects to the
// service and topic of LinkTopic ("service|topic"), requests the item's current value, starts a
// hot link (XTYP_ADVSTART) and delivers the current value before it returns; every XTYP_ADVDATA
// afterwards is delivered too. LinkMode 0 stops the advise and disconnects.
// Collaborations: implements ILinkClient for sources/dde_sources; deliveries arrive as window
// messages on the thread that created it (the user-interface thread).
#pragma once

#include "platform/link_client.h"

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro::win32 {

class DdeLinkClient : public ILinkClient {
public:
    // Milliseconds a synchronous transaction may take.
    static constexpr unsigned long TimeoutMs = 5000;

    DdeLinkClient();
    ~DdeLinkClient() override;
    DdeLinkClient(const DdeLinkClient&) = delete;
    DdeLinkClient& operator=(const DdeLinkClient&) = delete;

    void setLinkTopic(const std::string& topic) override { topic_ = topic; }
    void setLinkItem(const std::string& item) override { item_ = item; }
    void setLinkMode(std::int16_t mode) override;
    void setDeliveryHandler(Delivery d) override { deliver_ = std::move(d); }

    bool linked() const { return conv_ != nullptr && !settingUp_; }
    bool owns(void* conv) const { return conv != nullptr && conv == conv_; }

    // Called by the DDEML callback of this instance.
    void onAdvData(void* conv, void* data);
    void onDisconnect(void* conv);

private:
    void closeLink();
    void releaseItemAtom();
    void deliver(std::string value);

    unsigned long inst_ = 0;
    void* conv_ = nullptr;
    void* hszItem_ = nullptr;
    unsigned short itemAtom_ = 0;
    bool settingUp_ = false;
    // The requested value, then any change advised while the hot link was being started.
    std::vector<std::string> pending_;
    std::string topic_;
    std::string item_;
    Delivery deliver_;
};

// The text of a CF_TEXT data handle, up to its first zero byte.
std::string ddeText(const unsigned char* data, unsigned long size);

} // namespace veltaro::win32
