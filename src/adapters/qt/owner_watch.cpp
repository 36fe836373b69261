#include "adapters/qt/owner_watch.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace veltaro::qt {

OwnerWatch::OwnerWatch(const QDBusConnection& bus, const QString& name,
                       std::function<void()> appeared)
    : watcher_(new QDBusServiceWatcher(name, bus, QDBusServiceWatcher::WatchForRegistration)) {
    // The handlers hold the only copies of appeared: they go with the watcher, later.
    const auto tell = [live = live_, appeared = std::move(appeared)] {
        if (!*live)
            return;
        *live = false; // once
        appeared();
    };
    QObject::connect(watcher_, &QDBusServiceWatcher::serviceRegistered, watcher_, tell);
    // An owner that came before the watch began is found by asking.
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << name;
    auto* pending = new QDBusPendingCallWatcher(bus.asyncCall(ask), watcher_);
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, watcher_,
                     [tell](QDBusPendingCallWatcher* call) {
                         const QDBusPendingReply<bool> owned = *call;
                         if (owned.isValid() && owned.value())
                             tell();
                     });
}

OwnerWatch::~OwnerWatch() {
    *live_ = false;
    watcher_->deleteLater(); // may be on the stack of its own signal
}

} // namespace veltaro::qt
