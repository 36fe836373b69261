#include "publishers.h"

#include "adapters/qt/link_names.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

using namespace veltaro::qt;

namespace bridge {

QString kilohertzText(qint64 hz) {
    const bool negative = hz < 0;
    const quint64 mag = negative ? 0 - static_cast<quint64>(hz) : static_cast<quint64>(hz);
    QString text = QString::number(mag / 1000);
    if (const quint64 frac = mag % 1000; frac != 0) {
        QString digits = QString::number(frac).rightJustified(3, QLatin1Char('0'));
        while (digits.endsWith(QLatin1Char('0')))
            digits.chop(1);
        text += QLatin1Char('.') + digits;
    }
    return negative ? QLatin1Char('-') + text : text;
}

QString hertzText(qint64 hz) {
    return QString::number(hz);
}

namespace {

bool claimName(QDBusConnection& bus, const QString& name, QString* error) {
    if (!bus.isConnected()) {
        *error = QStringLiteral("no D-Bus session bus");
        return false;
    }
    const auto reply =
        bus.interface()->registerService(name, QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid()) {
        *error =
            QStringLiteral("cannot claim ") + name + QStringLiteral(": ") + reply.error().message();
        return false;
    }
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered) {
        *error = QStringLiteral("the bus name ") + name +
                 QStringLiteral(" is already taken (is another bridge running?)");
        return false;
    }
    return true;
}

} // namespace

void LinkTopicObject::setValue(const QString& item, const QString& value) {
    auto it = items_.find(item);
    if (it != items_.end() && *it == value)
        return;
    items_.insert(item, value);
    emit Advise(item, value);
}

QString LinkTopicObject::Request(const QString& item) {
    const auto it = items_.constFind(item);
    if (it == items_.cend()) {
        if (calledFromDBus())
            sendErrorReply(QString::fromLatin1(LinkNoSuchItemError),
                           QStringLiteral("no item \"") + item + QLatin1Char('"'));
        return {};
    }
    return *it;
}

LinkPublisher::LinkPublisher(QDBusConnection bus, const std::string& service,
                             const std::string& topic, QString item, Format format)
    : bus_(std::move(bus)), name_(linkBusName(service)), path_(linkObjectPath(topic)),
      item_(std::move(item)), format_(format) {
    // The item exists from the start; until the radio is known its text is empty.
    object_.setValue(item_, QString());
}

void LinkPublisher::publish(qint64 hz) {
    object_.setValue(item_, format_(hz));
}

bool LinkPublisher::claim(QString* error) {
    if (!bus_.registerObject(path_, &object_,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals)) {
        *error = QStringLiteral("cannot register ") + path_;
        return false;
    }
    if (!claimName(bus_, name_, error)) {
        bus_.unregisterObject(path_);
        return false;
    }
    claimed_ = true;
    return true;
}

void LinkPublisher::release() {
    if (!claimed_)
        return;
    bus_.unregisterService(name_);
    bus_.unregisterObject(path_);
    claimed_ = false;
}

FtlinkPublisher::FtlinkPublisher(QDBusConnection bus)
    : bus_(std::move(bus)), server_(QString::fromLatin1(TrxPath)) {}

QString FtlinkPublisher::busName() const {
    return QString::fromLatin1(FtlinkService);
}

void FtlinkPublisher::publish(qint64 hz) {
    const double mhz = static_cast<double>(hz) / 1e6;
    if (mhz == trx_.frequency())
        return;
    trx_.setFrequency(mhz);
    if (!claimed_)
        return;
    // QtDBus does not announce Q_PROPERTY changes itself.
    QDBusMessage changed = QDBusMessage::createSignal(
        QString::fromLatin1(TrxPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    changed << QString::fromLatin1(FtlinkTrxInterface)
            << QVariantMap{{QString::fromLatin1(FtlinkFrequencyProperty), mhz}} << QStringList();
    bus_.send(changed);
}

bool FtlinkPublisher::claim(QString* error) {
    const QString trxPath = QString::fromLatin1(TrxPath);
    if (!bus_.registerObject(QStringLiteral("/"), &server_, QDBusConnection::ExportAllSlots) ||
        !bus_.registerObject(trxPath, &trx_, QDBusConnection::ExportAllProperties)) {
        bus_.unregisterObject(QStringLiteral("/"));
        *error = QStringLiteral("cannot register the FTLink objects");
        return false;
    }
    if (!claimName(bus_, busName(), error)) {
        bus_.unregisterObject(trxPath);
        bus_.unregisterObject(QStringLiteral("/"));
        return false;
    }
    claimed_ = true;
    return true;
}

void FtlinkPublisher::release() {
    if (!claimed_)
        return;
    bus_.unregisterService(busName());
    bus_.unregisterObject(QString::fromLatin1(TrxPath));
    bus_.unregisterObject(QStringLiteral("/"));
    claimed_ = false;
}

} // namespace bridge
