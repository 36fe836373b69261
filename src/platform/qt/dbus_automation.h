// Responsibilities: the FTLink automation calls over D-Bus. Creating the server pings the bus
// name org.veltaro.FTLink; the first operation is FirstObject() on "/"; the interface request
// checks that the returned path introspects with org.veltaro.FTLink.Trx; the frequency is that
// interface's read-only property Frequency (double, MHz). Set-up calls are bounded by a short
// timeout; the frequency read never blocks (one asynchronous Get at a time, see DBusTrxObject).
// Collaborations: sources/trx_source drives it through IAutomationClient; veltaro-bridge
// --as ftlink and TRX-Manager's D-Bus front end are the servers (docs/linux-links.md).
#pragma once

#include "platform/automation.h"

#include <QDBusConnection>
#include <QDBusPendingCall>

#include <memory>
#include <optional>

namespace veltaro::qt {

// Each object below keeps its own copy of the connection and the server's unique bus name, so
// it may outlive the object that produced it; a server that restarts is a new server and the
// old objects fail until the box is ticked again.
class DBusTrxObject : public ITrxObject {
public:
    DBusTrxObject(QDBusConnection bus, QString owner, QString path, int readTimeoutMs);

    // Returns the value of the read that completed since the last call, and starts the next
    // read when none is outstanding. Raises LinkError when no fresh value has arrived (the
    // first call, a slow or hung server) or the read failed. Never waits for the server.
    double frequency() override;

    // How many reads have been sent, for diagnostics and tests.
    int readsSent() const { return readsSent_; }

private:
    void startRead();

    QDBusConnection bus_;
    QString owner_;
    QString path_;
    int readTimeoutMs_;
    std::optional<QDBusPendingCall> pending_;
    int readsSent_ = 0;
};

class DBusAutomationObject : public IAutomationObject {
public:
    DBusAutomationObject(QDBusConnection bus, QString owner, QString path, int callTimeoutMs);
    std::unique_ptr<ITrxObject> queryTrx() override;

private:
    QDBusConnection bus_;
    QString owner_;
    QString path_;
    int callTimeoutMs_;
};

class DBusTrxServer : public ITrxServer {
public:
    DBusTrxServer(QDBusConnection bus, QString owner, int callTimeoutMs);
    std::unique_ptr<IAutomationObject> firstObject() override;

private:
    QDBusConnection bus_;
    QString owner_;
    int callTimeoutMs_;
};

class DBusAutomationClient : public IAutomationClient {
public:
    // callTimeoutMs bounds each set-up call (Ping, FirstObject, Introspect).
    explicit DBusAutomationClient(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  int callTimeoutMs = 250);
    std::unique_ptr<ITrxServer> createTrxServer() override;

private:
    QDBusConnection bus_;
    int callTimeoutMs_;
};

// Whether introspection XML lists the interface on the node itself (not on a child node).
bool introspectionListsInterface(const QString& xml, const QString& interface);

} // namespace veltaro::qt
