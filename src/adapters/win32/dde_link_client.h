// Responsibilities: hot links through DDEML: connects to the service and topic, requests the
// item's current value, starts a hot link (XTYP_ADVSTART) and delivers the current value before
// connect returns; every XTYP_ADVDATA afterwards is delivered too. The loss of the link is
// reported on XTYP_DISCONNECT from the server, and, from a posted message, when the linked
// service is unregistered (the server quits) or registered (a server started again: the old
// conversation is dead; Wine never sends XTYP_DISCONNECT, and a crashed server on Windows may
// not either). disconnect stops the advise and ends the conversation; one that the server ended
// is let go of with a fresh DDEML instance (Wine refuses any new conversation with the service
// while it holds the old one). watch tells, from a posted
// message, when a server registers the watched service (XTYP_REGISTER), also right after a loss
// that such a registration caused. A connect to a service that no server offers fails at once:
// the initiate is answered or not while it is sent.
// Collaborations: implements ILinkClient for sources/hot_link_source; deliveries arrive as window
// messages on the thread that created it (the user-interface thread).
#pragma once

#include "ports/link_client.h"

#include <functional>
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

    void connect(const Address& address, Delivery onValue, Loss onLost) override;
    void disconnect() override;
    void watch(const Address& address, std::function<void()> onAppeared) override;

    bool owns(void* conv) const { return conv != nullptr && conv == conv_; }

    // Called by the DDEML callback of this instance.
    void onAdvData(void* conv, void* data);
    void onDisconnect(void* conv);
    // A server registered or unregistered the service (its base name).
    void onServiceNews(const std::string& service, bool registered);
    // The posted news of a registration or unregistration arrives.
    void onNewsMessage();

private:
    void deliverPending();
    void forget();
    // Forgets the link and ends its conversation.
    void drop();

    unsigned long inst_ = 0;
    void* conv_ = nullptr;
    void* hszItem_ = nullptr;
    unsigned short itemAtom_ = 0;
    bool settingUp_ = false;
    // Counts the links made, so that values of a link replaced meanwhile are not delivered.
    unsigned long generation_ = 0;
    // The requested value, then any change advised while the hot link was being started.
    std::vector<std::string> pending_;
    Delivery onValue_;
    Loss onLost_;
    std::string service_; // of the link
    // The watch: the service looked for, what runs when it appears, and the window the news is
    // posted to (DDEML's callback is no place to start or end a conversation from).
    std::string watched_;
    std::function<void()> onAppeared_;
    void* window_ = nullptr;
    bool newsPosted_ = false;
    // The news posted: the conversation that a registration or unregistration of its service
    // ended, one to look at after another service's unregistration, and whether the service
    // was registered.
    void* endedConv_ = nullptr;
    void* checkedConv_ = nullptr;
    bool appeared_ = false;
};

} // namespace veltaro::win32
