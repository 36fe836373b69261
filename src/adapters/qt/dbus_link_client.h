// Responsibilities: the hot link to an item over D-Bus (docs/linux-links.md). The address's
// service and topic name the bus name and object path (link_names.h). Connecting subscribes to
// the item's Advise signal from the service's current owner, asks for the current value with
// Request and delivers it before returning; later Advise values are delivered in order on the
// thread that owns the client. The loss is reported when that owner lets the bus name go (it
// ended, or released the name) or another process takes the name over (a restart); the link is
// over then. Watching waits for the bus name to get an owner.
// Collaborations: sources/hot_link_source drives it through ILinkClient; veltaro-link-publisher and
// the rig programs' D-Bus front ends are the servers.
#pragma once

#include "ports/link_client.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <functional>
#include <memory>
#include <string>

namespace veltaro::qt {

class OwnerWatch;

class LinkConversation;

class DBusLinkClient : public ILinkClient {
public:
    // requestTimeoutMs bounds each call made while connecting (the owner look-up and Request);
    // a server that does not answer in time fails the connection.
    explicit DBusLinkClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                            int requestTimeoutMs = 1000);
    ~DBusLinkClient() override;
    DBusLinkClient(const DBusLinkClient&) = delete;
    DBusLinkClient& operator=(const DBusLinkClient&) = delete;

    void connect(const Address& address, Delivery onValue, Loss onLost) override;
    void disconnect() override;
    void watch(const Address& address, std::function<void()> onAppeared) override;

private:
    // Watches the name, finds its owner, subscribes to the item and asks for its value; raises
    // LinkError, leaving the conversation for the caller to end.
    QString open(LinkConversation* c, const QString& name);
    QString request(LinkConversation* c);
    void end(LinkConversation* c);
    void lose(LinkConversation* c);

    QDBusConnection bus_;
    int timeoutMs_;
    LinkConversation* conversation_ = nullptr;
    std::unique_ptr<OwnerWatch> watcher_;
};

// Why a D-Bus call failed, in plain words: "the bus name has no owner", "no answer within 1 s"
// (timeoutMs), "no D-Bus session bus", or the error the program answered with its name. Shared
// by both clients, so that the received box tells the same things for every bus source.
QString busCallFailure(const QDBusMessage& reply, int timeoutMs);

} // namespace veltaro::qt
