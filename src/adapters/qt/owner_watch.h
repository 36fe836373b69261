// Responsibilities: waiting, without blocking, for a bus name to have an owner: tells once, from
// the event loop, when the name gets one or when it turns out to have one already.
// Collaborations: DBusLinkClient::watch and DBusAutomationClient::watch.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <functional>
#include <memory>

class QDBusServiceWatcher;

namespace veltaro::qt {

class OwnerWatch {
public:
    OwnerWatch(const QDBusConnection& bus, const QString& name, std::function<void()> appeared);
    // Nothing is told afterwards; may run from within the telling.
    ~OwnerWatch();
    OwnerWatch(const OwnerWatch&) = delete;
    OwnerWatch& operator=(const OwnerWatch&) = delete;

private:
    QDBusServiceWatcher* watcher_;
    std::shared_ptr<bool> live_ = std::make_shared<bool>(true);
};

} // namespace veltaro::qt
