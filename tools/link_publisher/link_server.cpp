#include "link_server.h"

#include "adapters/qt/link_names.h"

#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QLocale>
#include <QMetaObject>
#include <QThread>
#include <QVariantMap>

using namespace veltaro::qt;

namespace link_publisher {

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

QString megahertzText(qint64 hz) {
    return QString::number(static_cast<double>(hz) / 1e6, 'g', QLocale::FloatingPointShortest);
}

namespace {

const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString FailedError = QStringLiteral("org.veltaro.LinkPublisher.Error.Failed");

const QString LinkXml = QStringLiteral(
    "<interface name=\"%1\"><method name=\"%2\"><arg name=\"item\" type=\"s\" direction=\"in\"/>"
    "<arg name=\"value\" type=\"s\" direction=\"out\"/></method><signal name=\"%3\">"
    "<arg name=\"item\" type=\"s\"/><arg name=\"value\" type=\"s\"/></signal></interface>");
const QString ServerXml =
    QStringLiteral("<interface name=\"%1\"><method name=\"%2\"><arg name=\"object\" type=\"o\" "
                   "direction=\"out\"/></method></interface>");
const QString TrxXml = QStringLiteral("<interface name=\"%1\"><property name=\"%2\" type=\"d\" "
                                      "access=\"read\"/></interface>");

bool isCall(const QDBusMessage& m, const QString& interface, const char* member) {
    return m.type() == QDBusMessage::MethodCallMessage && m.member() == QLatin1String(member) &&
           (m.interface().isEmpty() || m.interface() == interface);
}

} // namespace

LinkServer::LinkServer(QDBusConnection bus, const QList<Program>& programs, ServerFaults faults)
    : bus_(std::move(bus)), faults_(std::move(faults)) {
    for (Program p : programs) {
        if (p == Program::Commander)
            endpoints_.append({p,
                               linkBusName("CI-V Commander"),
                               linkObjectPath("DDEServer"),
                               QStringLiteral("XmitFreq"),
                               &kilohertzText,
                               {}});
        else if (p == Program::Hrd)
            endpoints_.append({p,
                               linkBusName("HRD_RADIO_000"),
                               linkObjectPath("HRD_CAT"),
                               QStringLiteral("HRD_HERTZ"),
                               &hertzText,
                               {}});
        else
            endpoints_.append({p,
                               QString::fromLatin1(FtlinkService),
                               QString::fromLatin1(TrxPath),
                               QString::fromLatin1(FtlinkFrequencyProperty),
                               &megahertzText,
                               {}});
        // The item is there from the start; until the radio is known it reads as empty (0 MHz).
        endpoints_.back().items.insert(endpoints_.back().item, QString());
    }
}

LinkServer::~LinkServer() {
    release();
}

QStringList LinkServer::busNames() const {
    QStringList names;
    for (const Endpoint& e : endpoints_)
        names << e.busName;
    return names;
}

bool LinkServer::claim(bool replace, QString* error) {
    if (!bus_.isConnected()) {
        *error = QStringLiteral("no D-Bus session bus");
        return false;
    }
    registered_ = bus_.registerVirtualObject(QStringLiteral("/"), this, QDBusConnection::SubPath);
    if (!registered_) {
        *error = QStringLiteral("cannot register the objects: ") + bus_.lastError().message();
        return false;
    }
    for (const Endpoint& e : endpoints_) {
        if (!claimName(e.busName, replace, error)) {
            release();
            return false;
        }
        claimed_ << e.busName;
    }
    return true;
}

bool LinkServer::claimName(const QString& name, bool replace, QString* error) {
    using Bus = QDBusConnectionInterface;
    constexpr int StepMs = 20;
    const auto how = replace ? Bus::ReplaceExistingService : Bus::DontQueueService;
    for (int waited = 0;; waited += StepMs) {
        // Every publisher lets another take its names over with --replace.
        const auto reply = bus_.interface()->registerService(name, how, Bus::AllowReplacement);
        if (!reply.isValid()) {
            *error = QStringLiteral("cannot claim %1: %2").arg(name, reply.error().message());
            return false;
        }
        if (reply.value() == Bus::ServiceRegistered)
            return true;
        if (waited >= NameWaitMs) {
            *error = QStringLiteral("the bus name %1 is held by another program (another "
                                    "publisher? --replace takes it over)")
                         .arg(name);
            return false;
        }
        QThread::msleep(StepMs);
    }
}

void LinkServer::release() {
    for (const QString& name : std::as_const(claimed_))
        bus_.unregisterService(name);
    claimed_.clear();
    if (registered_)
        bus_.unregisterObject(QStringLiteral("/"), QDBusConnection::UnregisterTree);
    registered_ = false;
}

void LinkServer::publish(qint64 hz) {
    for (Endpoint& e : endpoints_)
        change(e, e.item, e.format(hz));
}

void LinkServer::set(const QString& item, const QString& value) {
    for (Endpoint& e : endpoints_)
        change(e, item, value);
}

void LinkServer::change(Endpoint& e, const QString& item, const QString& value) {
    const auto it = e.items.constFind(item);
    if (it != e.items.cend() && *it == value)
        return;
    e.items.insert(item, value);
    if (!registered_)
        return;
    if (e.program != Program::Ftlink) {
        bus_.send(QDBusMessage::createSignal(e.path, QString::fromLatin1(LinkInterface),
                                             QString::fromLatin1(LinkAdviseSignal))
                  << item << value);
    } else if (item == e.item) {
        // Read by polling; announced for other listeners.
        QDBusMessage changed = QDBusMessage::createSignal(e.path, PropertiesInterface,
                                                          QStringLiteral("PropertiesChanged"));
        changed << QString::fromLatin1(FtlinkTrxInterface) << QVariantMap{{item, value.toDouble()}}
                << QStringList();
        bus_.send(changed);
    }
}

const LinkServer::Endpoint* LinkServer::endpointAt(const QString& path) const {
    for (const Endpoint& e : endpoints_)
        if (e.path == path)
            return &e;
    return nullptr;
}

bool LinkServer::serves(const QDBusMessage& m) const {
    const Endpoint* e = endpointAt(m.path());
    if (m.path() == QLatin1String("/"))
        return endpointAt(QString::fromLatin1(TrxPath)) &&
               isCall(m, QString::fromLatin1(FtlinkServerInterface), FtlinkFirstObjectMethod);
    if (!e)
        return false;
    if (e->program != Program::Ftlink)
        return isCall(m, QString::fromLatin1(LinkInterface), LinkRequestMethod);
    return isCall(m, PropertiesInterface, "Get");
}

bool LinkServer::handleMessage(const QDBusMessage& message, const QDBusConnection&) {
    // The bus may deliver on a thread of its own; the items live on this object's thread.
    if (!serves(message))
        return false;
    QMetaObject::invokeMethod(
        this, [this, message] { answer(message); }, Qt::QueuedConnection);
    return true;
}

void LinkServer::answer(const QDBusMessage& m) {
    if (m.path() == QLatin1String("/")) {
        const char* path = faults_.noTrx ? NoTrxPath : TrxPath;
        bus_.send(m.createReply(QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(path)))));
        return;
    }
    const Endpoint& e = *endpointAt(m.path());
    if (e.program == Program::Ftlink)
        emit frequencyAsked();
    if (faults_.silent)
        return;
    if (faults_.fail)
        bus_.send(m.createErrorReply(FailedError, QStringLiteral("failing as asked (--fail)")));
    else if (e.program == Program::Ftlink)
        answerGet(e, m);
    else
        answerRequest(e, m);
}

void LinkServer::answerRequest(const Endpoint& e, const QDBusMessage& m) {
    const QString item = m.arguments().value(0).toString();
    if (faults_.adviseFirst)
        bus_.send(QDBusMessage::createSignal(e.path, QString::fromLatin1(LinkInterface),
                                             QString::fromLatin1(LinkAdviseSignal))
                  << item << *faults_.adviseFirst);
    const auto it = e.items.constFind(item);
    if (it == e.items.cend())
        bus_.send(m.createErrorReply(QString::fromLatin1(LinkNoSuchItemError),
                                     QStringLiteral("no item \"%1\"").arg(item)));
    else
        bus_.send(m.createReply(*it));
}

void LinkServer::answerGet(const Endpoint& e, const QDBusMessage& m) {
    const QVariantList args = m.arguments();
    const double mhz = e.items.value(e.item).toDouble();
    if (args.value(0).toString() != QLatin1String(FtlinkTrxInterface))
        bus_.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
                                     args.value(0).toString()));
    else if (args.value(1).toString() != e.item)
        bus_.send(m.createErrorReply(QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
                                     args.value(1).toString()));
    else
        bus_.send(m.createReply(QVariant::fromValue(QDBusVariant(mhz))));
}

QString LinkServer::introspect(const QString& path) const {
    const Endpoint* e = endpointAt(path);
    const bool ftlink = endpointAt(QString::fromLatin1(TrxPath)) != nullptr;
    QString trx =
        TrxXml.arg(QLatin1String(FtlinkTrxInterface), QLatin1String(FtlinkFrequencyProperty));
    if (path == QLatin1String("/"))
        return ftlink ? ServerXml.arg(QLatin1String(FtlinkServerInterface),
                                      QLatin1String(FtlinkFirstObjectMethod))
                      : QString();
    if (faults_.noTrx && ftlink && path == QLatin1String(NoTrxPath))
        // A look-alike interface on the node itself, the real one only on a child node.
        return QStringLiteral("<interface name=\"%1Old\"/><node name=\"Trx\">%2</node>")
            .arg(QLatin1String(FtlinkTrxInterface), trx);
    if (!e)
        return QString();
    if (e->program == Program::Ftlink)
        return trx;
    return LinkXml.arg(QLatin1String(LinkInterface), QLatin1String(LinkRequestMethod),
                       QLatin1String(LinkAdviseSignal));
}

} // namespace link_publisher
