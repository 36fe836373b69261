// Responsibilities: the DDE client link bound to the text box Text1: LinkTopic ("service|topic"),
// LinkItem, LinkMode (0 none, 1 automatic hot link) and the delivery of each value.
// Collaborations: sources/dde_sources sets it up and receives deliveries; implemented by
// platform/qt (the D-Bus link contract in docs/linux-links.md), platform/win32 (DDEML) and fakes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace veltaro {

class ILinkClient {
public:
    using Delivery = std::function<void(const std::string& value)>;
    virtual ~ILinkClient() = default;

    virtual void setLinkTopic(const std::string& topic) = 0;
    virtual void setLinkItem(const std::string& item) = 0;
    // 0 closes any open link and delivers nothing. 1 opens a conversation with the service on
    // the topic, asks to be advised of the item and delivers the item's current value before it
    // returns. Raises LinkError when no server answers.
    virtual void setLinkMode(std::int16_t mode) = 0;
    // Called with every value the server sends, on the user-interface thread.
    virtual void setDeliveryHandler(Delivery d) = 0;
};

} // namespace veltaro
