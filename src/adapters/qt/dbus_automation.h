// Responsibilities: TRX-Manager's automation link over its D-Bus stand-in (docs/linux-links.md).
// Connecting pings the bus name org.veltaro.FTLink, calls FirstObject() on "/" and checks that
// the returned path introspects with org.veltaro.FTLink.Trx; every later call goes to the unique
// name that answered the ping. The frequency is that interface's read-only property Frequency
// (double, MHz). Connecting is bounded by a short timeout per call; reading the frequency never
// blocks (one asynchronous Get at a time).
// Collaborations: sources/trx_manager_source drives it through IAutomationClient;
// veltaro-link-publisher --as ftlink and TRX-Manager's D-Bus front end are the servers.
#pragma once

#include "ports/automation.h"

#include <QDBusConnection>
#include <QDBusPendingCall>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace veltaro::qt {

class OwnerWatch;

class DBusAutomationClient : public IAutomationClient {
public:
    // callTimeoutMs bounds each call made while connecting (Ping, FirstObject, Introspect).
    explicit DBusAutomationClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  int callTimeoutMs = 250);

    ~DBusAutomationClient() override;
    DBusAutomationClient(const DBusAutomationClient&) = delete;
    DBusAutomationClient& operator=(const DBusAutomationClient&) = delete;

    void connect(Launch launch) override;
    // Returns the latest value read, and starts the next read when none is outstanding: a read
    // still on its way leaves the value of the one before. Raises LinkError when nothing is
    // held or the last read failed (the server ended, hangs for longer than a read may take, or
    // refused). Never waits for the server.
    double frequencyMHz() override;
    void disconnect() override;
    void watch(std::function<void()> onAppeared) override;

private:
    void startRead();

    // The server process that answered, and its frequency object.
    struct Held {
        QString owner;
        QString path;
        std::optional<QDBusPendingCall> pending;
        double latest = 0;
        std::string failure; // of the last read that completed; empty when it succeeded
    };

    QDBusConnection bus_;
    int callTimeoutMs_;
    std::optional<Held> held_;
    std::unique_ptr<OwnerWatch> watcher_;
};

// Whether introspection XML lists the interface on the node itself (not on a child node).
bool introspectionListsInterface(const QString& xml, const QString& interface);

} // namespace veltaro::qt
