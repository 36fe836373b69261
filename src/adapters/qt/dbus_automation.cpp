#include "adapters/qt/dbus_automation.h"

#include "adapters/qt/dbus_link_client.h"
#include "adapters/qt/link_names.h"
#include "adapters/qt/owner_watch.h"
#include "base/errors.h"

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

QDBusMessage callOrFail(const QDBusConnection& bus, const QDBusMessage& call, int timeoutMs) {
    if (!bus.isConnected())
        fail(QStringLiteral("no D-Bus session bus"));
    QDBusMessage reply = bus.call(call, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        fail(busCallFailure(reply, timeoutMs));
    return reply;
}

// The frequency a Get reply carries; raises LinkError for an error reply or another shape.
double frequencyOf(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ReplyMessage)
        fail(busCallFailure(reply, ReadTimeoutMs));
    const QVariant outer = reply.arguments().value(0);
    if (outer.typeId() != qMetaTypeId<QDBusVariant>())
        fail(QStringLiteral("the program's frequency reply is malformed"));
    const QVariant value = outer.value<QDBusVariant>().variant();
    if (value.typeId() != QMetaType::Double)
        fail(QStringLiteral("the program's frequency is not a number"));
    return value.toDouble();
}

QDBusMessage frequencyGet(const QString& owner, const QString& path) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        owner, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QString::fromLatin1(FtlinkTrxInterface) << QString::fromLatin1(FtlinkFrequencyProperty);
    return get;
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

DBusAutomationClient::~DBusAutomationClient() = default;

void DBusAutomationClient::disconnect() {
    watcher_.reset();
    held_.reset(); // a read still outstanding is forgotten
}

void DBusAutomationClient::watch(std::function<void()> onAppeared) {
    watcher_.reset();
    if (held_ || !bus_.isConnected() || !onAppeared)
        return;
    watcher_ =
        std::make_unique<OwnerWatch>(bus_, QString::fromLatin1(FtlinkService), [this, onAppeared] {
            watcher_.reset();
            onAppeared();
        });
}

void DBusAutomationClient::connect(Launch launch) {
    disconnect();
    QDBusMessage ping = QDBusMessage::createMethodCall(
        QString::fromLatin1(FtlinkService), QStringLiteral("/"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    // Without an owner the bus answers ServiceUnknown instead of starting the service.
    ping.setAutoStartService(launch == Launch::Allowed);
    // The reply comes from the owner's unique name: every later call goes to that process.
    const QString owner = callOrFail(bus_, ping, callTimeoutMs_).service();

    const QDBusMessage first = QDBusMessage::createMethodCall(
        owner, QStringLiteral("/"), QString::fromLatin1(FtlinkServerInterface),
        QString::fromLatin1(FtlinkFirstObjectMethod));
    const QDBusMessage made = callOrFail(bus_, first, callTimeoutMs_);
    if (made.arguments().size() != 1 ||
        made.arguments().constFirst().typeId() != qMetaTypeId<QDBusObjectPath>())
        fail(QStringLiteral("the program's first object is not an object path"));
    const QString path = made.arguments().constFirst().value<QDBusObjectPath>().path();

    const QDBusMessage introspect = QDBusMessage::createMethodCall(
        owner, path, QStringLiteral("org.freedesktop.DBus.Introspectable"),
        QStringLiteral("Introspect"));
    const QString xml =
        callOrFail(bus_, introspect, callTimeoutMs_).arguments().value(0).toString();
    if (!introspectionListsInterface(xml, QString::fromLatin1(FtlinkTrxInterface)))
        fail(QStringLiteral("the program's object has no frequency"));

    // Read once here, so that the first tick already finds a value and a server that cannot
    // answer fails the connection.
    const double value = frequencyOf(callOrFail(bus_, frequencyGet(owner, path), callTimeoutMs_));
    held_ = Held{owner, path, std::nullopt, value, {}};
}

void DBusAutomationClient::startRead() {
    held_->pending = bus_.asyncCall(frequencyGet(held_->owner, held_->path), ReadTimeoutMs);
}

double DBusAutomationClient::frequencyMHz() {
    if (!held_)
        fail(QStringLiteral("not linked"));
    if (held_->pending && held_->pending->isFinished()) {
        const QDBusMessage reply = held_->pending->reply();
        held_->pending.reset();
        try {
            held_->latest = frequencyOf(reply);
            held_->failure.clear();
        } catch (const LinkError& e) {
            held_->failure = e.what(); // until a later read succeeds
        }
    }
    if (!held_->pending)
        startRead();
    if (!held_->failure.empty())
        throw LinkError(held_->failure);
    return held_->latest;
}

} // namespace veltaro::qt
