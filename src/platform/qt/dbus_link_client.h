// Responsibilities: the DDE-style hot link of Text1 over D-Bus. LinkTopic "service|topic" names
// the bus name and object path (link_names.h), LinkItem the item; LinkMode 1 subscribes to the
// item's Advise signal from the service's current owner, asks for the current value with Request
// and delivers it before returning; later Advise values are delivered in order on the thread
// that owns the client. LinkMode 0 drops the subscription.
// Collaborations: sources/dde_sources drives it through ILinkClient; veltaro-bridge and the rig
// programs' D-Bus front ends are the servers (docs/linux-links.md).
#pragma once

#include "platform/link_client.h"

#include <QDBusConnection>

#include <cstdint>
#include <string>

namespace veltaro::qt {

class LinkConversation;

class DBusLinkClient : public ILinkClient {
public:
    // requestTimeoutMs bounds each call made while setting up a link (the owner look-up and
    // Request); a server that does not answer in time fails the set-up.
    explicit DBusLinkClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                            int requestTimeoutMs = 1000);
    ~DBusLinkClient() override;
    DBusLinkClient(const DBusLinkClient&) = delete;
    DBusLinkClient& operator=(const DBusLinkClient&) = delete;

    void setLinkTopic(const std::string& topic) override;
    void setLinkItem(const std::string& item) override;
    void setLinkMode(std::int16_t mode) override;
    void setDeliveryHandler(Delivery d) override;

private:
    void open();
    void close();

    QDBusConnection bus_;
    int timeoutMs_;
    std::string topic_;
    std::string item_;
    Delivery deliver_;
    LinkConversation* conversation_ = nullptr;
};

} // namespace veltaro::qt
