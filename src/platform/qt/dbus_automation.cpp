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

void DBusAutomationClient::disconnect() {
    held_.reset(); // a read still outstanding is forgotten
}

void DBusAutomationClient::connect() {
    disconnect();
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QString::fromLatin1(FtlinkService), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    // The reply comes from the owner's unique name: every later call goes to that process.
    const QString owner =
        callOrFail(bus_, ping, callTimeoutMs_, QStringLiteral("server")).service();

    const QDBusMessage first = QDBusMessage::createMethodCall(
        owner, QStringLiteral("/"), QString::fromLatin1(FtlinkServerInterface),
        QString::fromLatin1(FtlinkFirstObjectMethod));
    const QDBusMessage made =
        callOrFail(bus_, first, callTimeoutMs_, QStringLiteral("first object"));
    if (made.arguments().size() != 1 ||
        made.arguments().constFirst().typeId() != qMetaTypeId<QDBusObjectPath>())
        fail(QStringLiteral("FTLink first object: the reply is not an object path"));
    const QString path = made.arguments().constFirst().value<QDBusObjectPath>().path();

    const QDBusMessage introspect = QDBusMessage::createMethodCall(
        owner, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QString xml =
        callOrFail(bus_, introspect, callTimeoutMs_, QStringLiteral("introspection of ") + path)
            .arguments()
            .value(0)
            .toString();
    if (!introspectionListsInterface(xml, QString::fromLatin1(FtlinkTrxInterface)))
        fail(QStringLiteral("FTLink object ") + path + QStringLiteral(" has no ") +
             QString::fromLatin1(FtlinkTrxInterface));

    held_ = Held{owner, path, std::nullopt};
    startRead(); // so that the first tick already finds a value
}

void DBusAutomationClient::startRead() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        held_->owner, held_->path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << QString::fromLatin1(FtlinkTrxInterface) << QString::fromLatin1(FtlinkFrequencyProperty);
    held_->pending = bus_.asyncCall(get, ReadTimeoutMs);
}

double DBusAutomationClient::frequencyMHz() {
    if (!held_)
        fail(QStringLiteral("FTLink is not connected"));
    std::optional<QDBusMessage> reply;
    if (held_->pending && held_->pending->isFinished()) {
        reply = held_->pending->reply();
        held_->pending.reset();
    }
    if (!held_->pending)
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
