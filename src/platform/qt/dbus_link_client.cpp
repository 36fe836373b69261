#include "platform/qt/dbus_link_client.h"

#include "platform/errors.h"
#include "platform/qt/link_names.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QObject>

namespace veltaro::qt {

// One open link: receives the item's Advise signals from the owner that answered at set-up.
// Bound to that owner's unique name, so a server that goes away ends the conversation for good,
// as a DDE conversation does; a later set-up finds whoever owns the name then.
class LinkConversation : public QObject {
    Q_OBJECT
public:
    LinkConversation(QString owner, QString path, QString item,
                     const ILinkClient::Delivery* deliver)
        : owner(std::move(owner)), path(std::move(path)), item(std::move(item)), deliver_(deliver) {
    }

    const QString owner;
    const QString path;
    const QString item;

    bool open = true;
    bool discarding = false;
    int delivering = 0;

public slots:
    void advise(const QString& itemName, const QString& value) {
        if (!open || discarding || itemName != item || !*deliver_)
            return;
        ++delivering;
        try {
            (*deliver_)(value.toStdString());
        } catch (...) {
            // A failure of the receiving handler has nowhere to go from the event loop; the
            // handler reports what it wants to report before it raises.
        }
        --delivering;
    }

private:
    const ILinkClient::Delivery* deliver_;
};

namespace {

QString shortError(const QDBusMessage& reply) {
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply"))
        return QStringLiteral("no reply");
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("not running");
    if (reply.errorName() == QLatin1String(LinkNoSuchItemError))
        return QStringLiteral("no such item");
    return reply.errorName();
}

[[noreturn]] void fail(const std::string& what) {
    throw LinkError(what);
}

} // namespace

DBusLinkClient::DBusLinkClient(QDBusConnection bus, int requestTimeoutMs)
    : bus_(std::move(bus)), timeoutMs_(requestTimeoutMs) {}

DBusLinkClient::~DBusLinkClient() {
    close();
}

void DBusLinkClient::setLinkTopic(const std::string& topic) {
    topic_ = topic;
}

void DBusLinkClient::setLinkItem(const std::string& item) {
    item_ = item;
}

void DBusLinkClient::setDeliveryHandler(Delivery d) {
    deliver_ = std::move(d);
}

void DBusLinkClient::setLinkMode(std::int16_t mode) {
    if (mode == 0) {
        close();
    } else if (mode == 1) {
        close();
        open();
    } else {
        fail("link mode " + std::to_string(mode) + " is not supported");
    }
}

void DBusLinkClient::close() {
    LinkConversation* c = conversation_;
    if (c == nullptr)
        return;
    conversation_ = nullptr;
    c->open = false;
    bus_.disconnect(c->owner, c->path, QString::fromLatin1(LinkInterface),
                    QString::fromLatin1(LinkAdviseSignal), QStringList{c->item},
                    QStringLiteral("ss"), c, SLOT(advise(QString, QString)));
    if (c->delivering > 0)
        c->deleteLater(); // still on the stack: freed once its delivery unwinds
    else
        delete c; // drops any Advise already queued for it
}

void DBusLinkClient::open() {
    const auto bar = topic_.find('|');
    if (bar == std::string::npos)
        fail("link topic \"" + topic_ + "\" is not service|topic");
    const std::string service = topic_.substr(0, bar);
    const QString name = linkBusName(service);
    const QString path = linkObjectPath(topic_.substr(bar + 1));
    const QString item = QString::fromStdString(item_);
    const std::string who = "\"" + service + "\"";
    if (!bus_.isConnected())
        fail("no D-Bus session bus for " + who);

    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetNameOwner"));
    ask << name;
    const QDBusMessage owned = bus_.call(ask, QDBus::Block, timeoutMs_);
    if (owned.type() != QDBusMessage::ReplyMessage || owned.arguments().size() != 1)
        fail(who + " is " + shortError(owned).toStdString());
    const QString owner = owned.arguments().constFirst().toString();

    auto* c = new LinkConversation(owner, path, item, &deliver_);
    conversation_ = c;
    const bool subscribed = bus_.connect(owner, path, QString::fromLatin1(LinkInterface),
                                         QString::fromLatin1(LinkAdviseSignal), QStringList{item},
                                         QStringLiteral("ss"), c, SLOT(advise(QString, QString)));
    if (!subscribed) {
        close();
        fail("cannot subscribe to " + who);
    }

    QDBusMessage request = QDBusMessage::createMethodCall(
        owner, path, QString::fromLatin1(LinkInterface), QString::fromLatin1(LinkRequestMethod));
    request << item;
    const QDBusMessage reply = bus_.call(request, QDBus::Block, timeoutMs_);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        close();
        fail(who + " " + item_ + ": " + shortError(reply).toStdString());
    }
    if (reply.arguments().size() != 1 ||
        reply.arguments().constFirst().typeId() != QMetaType::QString) {
        close();
        fail(who + " " + item_ + ": reply is not text");
    }

    // Advise signals that arrived before the reply carry values no newer than the reply's own:
    // drop them, so the first delivery is the current value and later ones follow in order.
    c->discarding = true;
    QCoreApplication::sendPostedEvents(c, QEvent::MetaCall);
    c->discarding = false;

    if (deliver_)
        deliver_(reply.arguments().constFirst().toString().toStdString());
}

} // namespace veltaro::qt

#include "dbus_link_client.moc"
