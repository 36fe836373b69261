#include "adapters/qt/dbus_link_client.h"

#include "adapters/qt/link_names.h"
#include "adapters/qt/owner_watch.h"
#include "base/errors.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>

namespace veltaro::qt {

// One link: receives the item's Advise signals from the owner that answered when it was made,
// and watches the bus name for that owner letting it go or losing it to another. Bound to that
// owner's unique name, so a server that goes away ends the link for good; a new link finds
// whoever owns the name then.
class LinkConversation : public QObject {
    Q_OBJECT
public:
    LinkConversation(QString path, QString item, ILinkClient::Delivery onValue,
                     ILinkClient::Loss onLost)
        : path(std::move(path)), item(std::move(item)), onValue(std::move(onValue)),
          onLost(std::move(onLost)) {}

    const QString path;
    const QString item;
    const ILinkClient::Delivery onValue;
    ILinkClient::Loss onLost;
    QString owner;           // the unique name that answered the owner look-up
    bool subscribed = false; // to Advise
    bool open = true;
    bool discarding = false;
    int busy = 0; // handlers of this link on the stack

public slots:
    void advise(const QString& itemName, const QString& value) {
        if (!open || discarding || itemName != item || !onValue)
            return;
        ++busy;
        try {
            onValue(value.toStdString());
        } catch (...) {
            // A failure of the receiving handler has nowhere to go from the event loop; the
            // handler reports what it wants to report before it raises.
        }
        --busy;
    }
};

QString busCallFailure(const QDBusMessage& reply, int timeoutMs) {
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return timeoutMs % 1000 == 0 ? QStringLiteral("no answer within %1 s").arg(timeoutMs / 1000)
                                     : QStringLiteral("no answer within %1 ms").arg(timeoutMs);
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("the bus name has no owner");
    if (name == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
        return QStringLiteral("no D-Bus session bus");
    return QStringLiteral("the program answered an error: ") + name;
}

DBusLinkClient::DBusLinkClient(QDBusConnection bus, int requestTimeoutMs)
    : bus_(std::move(bus)), timeoutMs_(requestTimeoutMs) {}

DBusLinkClient::~DBusLinkClient() {
    disconnect();
}

void DBusLinkClient::disconnect() {
    watcher_.reset();
    if (conversation_ != nullptr)
        end(conversation_);
}

void DBusLinkClient::watch(const Address& address, std::function<void()> onAppeared) {
    watcher_.reset();
    if (conversation_ != nullptr || !bus_.isConnected() || !onAppeared)
        return;
    watcher_ = std::make_unique<OwnerWatch>(bus_, linkBusName(address.service), [this, onAppeared] {
        watcher_.reset();
        onAppeared();
    });
}

void DBusLinkClient::end(LinkConversation* c) {
    if (conversation_ == c)
        conversation_ = nullptr;
    c->open = false;
    if (c->subscribed)
        bus_.disconnect(c->owner, c->path, QString::fromLatin1(LinkInterface),
                        QString::fromLatin1(LinkAdviseSignal), QStringList{c->item},
                        QStringLiteral("ss"), c, SLOT(advise(QString, QString)));
    if (c->busy > 0)
        c->deleteLater(); // still on the stack: freed once its handler unwinds
    else
        delete c; // drops any Advise already queued for it
}

void DBusLinkClient::lose(LinkConversation* c) {
    if (conversation_ != c)
        return;
    const Loss onLost = std::move(c->onLost);
    ++c->busy;
    end(c);
    --c->busy;
    if (!onLost)
        return;
    try {
        onLost();
    } catch (...) {
        // As for a delivery: nowhere to go from the event loop.
    }
}

void DBusLinkClient::connect(const Address& address, Delivery onValue, Loss onLost) {
    disconnect();
    const QString name = linkBusName(address.service);
    if (!bus_.isConnected())
        throw LinkError("no D-Bus session bus");
    auto* c =
        new LinkConversation(linkObjectPath(address.topic), QString::fromStdString(address.item),
                             std::move(onValue), std::move(onLost));
    conversation_ = c;
    QString value;
    try {
        value = open(c, name);
    } catch (const LinkError&) {
        if (conversation_ != nullptr)
            end(conversation_);
        throw;
    }
    // What the handler raises here reaches the caller. Should the handler end the link, the
    // conversation outlives the call.
    if (!c->onValue)
        return;
    struct Busy {
        LinkConversation* c;
        ~Busy() { --c->busy; }
    } busy{c};
    ++c->busy;
    c->onValue(value.toStdString());
}

QString DBusLinkClient::open(LinkConversation* c, const QString& name) {
    // Watched before the owner is looked up, so that no change of owner after the look-up is
    // missed.
    auto* watcher =
        new QDBusServiceWatcher(name, bus_, QDBusServiceWatcher::WatchForOwnerChange, c);
    QObject::connect(
        watcher, &QDBusServiceWatcher::serviceOwnerChanged, c,
        [this, c](const QString&, const QString& oldOwner, const QString& newOwner) {
            // Let go, or taken over by another process: either ends this link.
            if (c->open && !c->owner.isEmpty() &&
                (oldOwner == c->owner || (!newOwner.isEmpty() && newOwner != c->owner)))
                lose(c);
        });
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << name;
    const QDBusMessage owned = bus_.call(ask, QDBus::Block, timeoutMs_);
    if (owned.type() != QDBusMessage::ReplyMessage || owned.arguments().size() != 1)
        throw LinkError(busCallFailure(owned, timeoutMs_).toStdString());
    c->owner = owned.arguments().constFirst().toString();
    c->subscribed = bus_.connect(c->owner, c->path, QString::fromLatin1(LinkInterface),
                                 QString::fromLatin1(LinkAdviseSignal), QStringList{c->item},
                                 QStringLiteral("ss"), c, SLOT(advise(QString, QString)));
    if (!c->subscribed)
        throw LinkError("cannot subscribe to the item's changes");
    const QString value = request(c);
    // Advise signals that arrived before the reply carry values no newer than the reply's own:
    // drop them, so the first delivery is the current value and later ones follow in order.
    c->discarding = true;
    QCoreApplication::sendPostedEvents(c, QEvent::MetaCall);
    c->discarding = false;
    return value;
}

QString DBusLinkClient::request(LinkConversation* c) {
    QDBusMessage request =
        QDBusMessage::createMethodCall(c->owner, c->path, QString::fromLatin1(LinkInterface),
                                       QString::fromLatin1(LinkRequestMethod));
    request << c->item;
    const QDBusMessage reply = bus_.call(request, QDBus::Block, timeoutMs_);
    if (reply.errorName() == QLatin1String(LinkNoSuchItemError))
        throw LinkError("the program has no item " + c->item.toStdString());
    if (reply.type() != QDBusMessage::ReplyMessage)
        throw LinkError(busCallFailure(reply, timeoutMs_).toStdString());
    if (reply.arguments().size() != 1 ||
        reply.arguments().constFirst().typeId() != QMetaType::QString)
        throw LinkError("the value of " + c->item.toStdString() + " is not text");
    return reply.arguments().constFirst().toString();
}

} // namespace veltaro::qt

#include "dbus_link_client.moc"
