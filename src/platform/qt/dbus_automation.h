// Responsibilities: TRX-Manager's automation link over its D-Bus stand-in (docs/linux-links.md).
// Connecting pings the bus name org.veltaro.FTLink, calls FirstObject() on "/" and checks that
// the returned path introspects with org.veltaro.FTLink.Trx; every later call goes to the unique
// name that answered the ping. The frequency is that interface's read-only property Frequency
// (double, MHz). Connecting is bounded by a short timeout per call; reading the frequency never
// blocks (one asynchronous Get at a time).
// Collaborations: sources/trx_manager_source drives it through IAutomationClient; veltaro-bridge
// --as ftlink and TRX-Manager's D-Bus front end are the servers.
#pragma once

#include "platform/automation.h"

#include <QDBusConnection>
#include <QDBusPendingCall>

#include <optional>

namespace veltaro::qt {

class DBusAutomationClient : public IAutomationClient {
public:
    // callTimeoutMs bounds each call made while connecting (Ping, FirstObject, Introspect).
    explicit DBusAutomationClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  int callTimeoutMs = 250);

    void connect() override;
    // Returns the value of the read that completed since the last call, and starts the next
    // read when none is outstanding. Raises LinkError when nothing is held, no fresh value has
    // arrived (the first call may be too early; a slow or hung server) or the read failed. Never
    // waits for the server.
    double frequencyMHz() override;
    void disconnect() override;

private:
    void startRead();

    // The server process that answered, and its frequency object.
    struct Held {
        QString owner;
        QString path;
        std::optional<QDBusPendingCall> pending;
    };

    QDBusConnection bus_;
    int callTimeoutMs_;
    std::optional<Held> held_;
};

// Whether introspection XML lists the interface on the node itself (not on a child node).
bool introspectionListsInterface(const QString& xml, const QString& interface);

} // namespace veltaro::qt
