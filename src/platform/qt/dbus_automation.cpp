#include "platform/qt/dbus_automation.h"

#include "platform/errors.h"
#include "platform/qt/link_names.h"

#include <QDBusMessage>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QXmlStreamReader>

namespace veltaro::qt {

namespace {

// A frequency read may take this long before it counts as failed and the next one may start.
constexpr int ReadTimeoutMs = 2000;

[[noreturn]] void fail(const QString& what) {
    throw LinkError(what.toStdString());
}

QString describe(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return QStringLiteral("did not answer");
    if (name == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
        name == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return QStringLiteral("is not running");
    if (name == QLatin1String("org.freedesktop.DBus.Error.Disconnected"))
        return QStringLiteral("is unreachable: no session bus");
    return QStringLiteral("refused: ") + name;
}

QDBusMessage callOrFail(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs,
                        const QString& what) {
    if (!bus.isConnected())
        fail(QStringLiteral("FTLink is unreachable: no session bus"));
    QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        fail(QStringLiteral("FTLink ") + what + QLatin1Char(' ') + describe(reply));
    return reply;
}

} // namespace

bool introspectionListsInterface(const QString& xml, const QString& interface) {
    QXmlStreamReader reader(xml);
    int depth = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            // depth 1 is the <node> itself; its own interfaces sit at depth 2.
            if (depth == 2 && reader.name() == QLatin1String("interface") &&
                reader.attributes().value(QLatin1String("name")) == interface)
                return true;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    return false;
}

DBusAutomationClient::DBusAutomationClient(QDBusConnection bus, int callTimeoutMs)
    : bus_(std::move(bus)), callTimeoutMs_(callTimeoutMs) {}

std::unique_ptr<ITrxServer> DBusAutomationClient::createTrxServer() {
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QString::fromLatin1(FtlinkService), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    const QDBusMessage reply = callOrFail(bus_, ping, callTimeoutMs_, QStringLiteral("server"));
    // The reply comes from the owner's unique name: bind every later call to that process.
    return std::make_unique<DBusTrxServer>(bus_, reply.service(), callTimeoutMs_);
}

DBusTrxServer::DBusTrxServer(QDBusConnection bus, QString owner, int callTimeoutMs)
    : bus_(std::move(bus)), owner_(std::move(owner)), callTimeoutMs_(callTimeoutMs) {}

std::unique_ptr<IAutomationObject> DBusTrxServer::firstObject() {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        owner_, QStringLiteral("/"), QString::fromLatin1(FtlinkServerInterface),
        QString::fromLatin1(FtlinkFirstObjectMethod));
    const QDBusMessage reply =
        callOrFail(bus_, call, callTimeoutMs_, QStringLiteral("first object"));
    if (reply.arguments().size() != 1 ||
        reply.arguments().constFirst().typeId() != qMetaTypeId<QDBusObjectPath>())
        fail(QStringLiteral("FTLink first object: the reply is not an object path"));
    const QString path = reply.arguments().constFirst().value<QDBusObjectPath>().path();
    return std::make_unique<DBusAutomationObject>(bus_, owner_, path, callTimeoutMs_);
}

DBusAutomationObject::DBusAutomationObject(QDBusConnection bus, QString owner, QString path,
                                           int callTimeoutMs)
    : bus_(std::move(bus)), owner_(std::move(owner)), path_(std::move(path)),
      callTimeoutMs_(callTimeoutMs) {}

std::unique_ptr<ITrxObject> DBusAutomationObject::queryTrx() {
    const QDBusMessage call = QDBusMessage::createMethodCall(
        owner_, path_, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QDBusMessage reply =
        callOrFail(bus_, call, callTimeoutMs_, QStringLiteral("introspection of ") + path_);
    const QString xml = reply.arguments().value(0).toString();
    if (!introspectionListsInterface(xml, QString::fromLatin1(FtlinkTrxInterface)))
        fail(QStringLiteral("FTLink object ") + path_ + QStringLiteral(" has no ") +
             QString::fromLatin1(FtlinkTrxInterface));
    return std::make_unique<DBusTrxObject>(bus_, owner_, path_, ReadTimeoutMs);
}

DBusTrxObject::DBusTrxObject(QDBusConnection bus, QString owner, QString path, int readTimeoutMs)
    : bus_(std::move(bus)), owner_(std::move(owner)), path_(std::move(path)),
      readTimeoutMs_(readTimeoutMs) {
    startRead(); // so that the first tick already finds a value
}

void DBusTrxObject::startRead() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        owner_, path_, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(FtlinkTrxInterface) << QString::fromLatin1(FtlinkFrequencyProperty);
    pending_ = bus_.asyncCall(get, readTimeoutMs_);
    ++readsSent_;
}

double DBusTrxObject::frequency() {
    std::optional<QDBusMessage> reply;
    if (pending_ && pending_->isFinished()) {
        reply = pending_->reply();
        pending_.reset();
    }
    if (!pending_)
        startRead();
    if (!reply)
        fail(QStringLiteral("FTLink has not answered the last read yet"));
    if (reply->type() != QDBusMessage::ReplyMessage)
        fail(QStringLiteral("FTLink frequency read ") + describe(*reply));
    const QVariant outer = reply->arguments().value(0);
    if (outer.typeId() != qMetaTypeId<QDBusVariant>())
        fail(QStringLiteral("FTLink frequency read: malformed reply"));
    const QVariant value = outer.value<QDBusVariant>().variant();
    if (value.typeId() != QMetaType::Double)
        fail(QStringLiteral("FTLink frequency is not a double"));
    return value.toDouble();
}

} // namespace veltaro::qt
