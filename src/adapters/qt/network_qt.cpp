#include "adapters/qt/network_qt.h"

#include "base/errors.h"

#include <QHostAddress>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

#include <cerrno>

namespace veltaro::qt {

namespace {

bool isLocalhost(const QString& host) {
    return host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0;
}

// The address to listen on: a numeric one as written, "localhost" as the IPv4 loopback; null
// for any other name, which is never looked up.
QHostAddress listenAddress(const QString& host) {
    if (isLocalhost(host))
        return QHostAddress(QHostAddress::LocalHost);
    return QHostAddress(host);
}

// Whether an IPv4 address is the broadcast address of a network this machine is on (the
// loopback's 127.255.255.255 included, which no interface announces).
bool isNetworkBroadcast(const QHostAddress& a) {
    if (a.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& e : i.addressEntries()) {
            const int bits = e.prefixLength();
            if (e.ip().protocol() != QAbstractSocket::IPv4Protocol || bits < 1 || bits > 30)
                continue; // a /31 or a /32 has no broadcast address
            const quint32 hostPart = (quint32(1) << (32 - bits)) - 1;
            if ((e.ip().toIPv4Address() | hostPart) == a.toIPv4Address())
                return true;
        }
    return false;
}

// Addresses whose datagrams reach every listener: these are bound shared.
bool isShared(const QHostAddress& a) {
    return a.isMulticast() || a.isBroadcast() || isNetworkBroadcast(a);
}

// Joins the group on every interface that is up and can take it, the loopback included, so
// that a logger on this machine or on the network is heard whichever way its datagrams come.
bool joinEverywhere(QUdpSocket& socket, const QHostAddress& group) {
    bool joined = false;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (flags.testFlag(QNetworkInterface::IsUp) &&
            (flags.testFlag(QNetworkInterface::CanMulticast) ||
             flags.testFlag(QNetworkInterface::IsLoopBack)))
            joined = socket.joinMulticastGroup(group, i) || joined;
    }
    return joined;
}

// Why the address could not be bound, in the user's words.
BindError bindFailure(const QString& host, quint16 port, const QUdpSocket& socket) {
    switch (socket.error()) {
    case QAbstractSocket::AddressInUseError:
        return BindError(BindError::Cause::InUse,
                         "port " + std::to_string(port) + " is taken by another program");
    case QAbstractSocket::SocketAddressNotAvailableError:
        return BindError(BindError::Cause::NotHere,
                         host.toStdString() + " is not an address of this computer");
    default:
        return BindError(BindError::Cause::Other, "cannot listen on " + host.toStdString() +
                                                      " port " + std::to_string(port) + ": " +
                                                      socket.errorString().toStdString());
    }
}

// Why a connection failed or ended, in the words every platform uses.
QString reasonFor(const QTcpSocket& socket) {
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("connection refused");
    case QAbstractSocket::RemoteHostClosedError:
        return QStringLiteral("closed by the server");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("host not found");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("no answer within 3 s");
    case QAbstractSocket::NetworkError: // no route to the network or to the host
        if (socket.state() != QAbstractSocket::ConnectedState)
            return QStringLiteral("network unreachable");
        [[fallthrough]];
    default:
        return socket.errorString();
    }
}

// Drops a socket whose signals must not run any handler again.
template <class Socket> void discard(QPointer<Socket>& socket) {
    if (!socket)
        return;
    QObject::disconnect(socket, nullptr, nullptr, nullptr);
    socket->abort();
    socket->deleteLater(); // may be on the stack of one of its own signals
    socket = nullptr;
}

} // namespace

QtStreamLink::~QtStreamLink() {
    close();
}

void QtStreamLink::close() {
    if (timer_)
        timer_->stop(); // goes with its socket
    timer_ = nullptr;
    discard(socket_);
    handlers_ = {};
}

void QtStreamLink::connect(const NetAddress& address, Handlers handlers) {
    close();
    handlers_ = std::move(handlers);
    auto* socket = new QTcpSocket;
    socket_ = socket;
    socket->setProxy(QNetworkProxy::NoProxy);
    timer_ = new QTimer(socket);
    timer_->setSingleShot(true);
    timer_->setTimerType(Qt::PreciseTimer); // a coarse one may end the wait up to 5 % early
    QObject::connect(timer_, &QTimer::timeout, socket,
                     [this, socket] { finish(socket, QStringLiteral("no answer within 3 s")); });
    QObject::connect(socket, &QTcpSocket::connected, socket, [this, socket] {
        if (socket_ != socket)
            return;
        timer_->stop();
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        // Called through a copy: the handler may close the link, which lets go of handlers_.
        if (const auto connected = handlers_.connected)
            connected();
    });
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
        // A handler may close or reconnect: read only while this socket is still the link.
        while (socket_ == socket && socket->bytesAvailable() > 0) {
            const QByteArray bytes = socket->readAll();
            if (const auto received = handlers_.received)
                received(std::string_view(bytes.constData(), bytes.size()));
        }
    });
    QObject::connect(socket, &QTcpSocket::errorOccurred, socket,
                     [this, socket] { finish(socket, reasonFor(*socket)); });
    QObject::connect(socket, &QTcpSocket::disconnected, socket,
                     [this, socket] { finish(socket, QStringLiteral("closed by the server")); });
    timer_->start(ConnectTimeoutMs);
    socket->connectToHost(QString::fromStdString(address.host), address.port);
}

void QtStreamLink::finish(QTcpSocket* socket, const QString& reason) {
    if (socket_ != socket)
        return;
    const auto closed = std::move(handlers_.closed);
    close();
    if (closed)
        closed(reason.toStdString());
}

void QtStreamLink::send(std::string_view bytes) {
    if (socket_ && socket_->state() == QAbstractSocket::ConnectedState)
        socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
}

QtDatagramSocket::~QtDatagramSocket() {
    close();
}

void QtDatagramSocket::close() {
    discard(socket_);
    onDatagram_ = {};
}

void QtDatagramSocket::listen(const NetAddress& address, Receive onDatagram) {
    close();
    const QString host = QString::fromStdString(address.host);
    const QHostAddress at = listenAddress(host);
    if (at.isNull())
        throw BindError(BindError::Cause::NotHere,
                        address.host + " is a name: give a numeric address");
    auto socket = std::make_unique<QUdpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    // Without address reuse, a unicast port held by another listener fails to bind, and no
    // later listener can share it: each program keeps its own datagrams.
    const bool shared = isShared(at);
    const auto mode = shared ? QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint
                             : QAbstractSocket::DontShareAddress;
    if (!socket->bind(at, address.port, mode))
        throw bindFailure(host, address.port, *socket);
    if (at.isMulticast() && !joinEverywhere(*socket, at))
        throw BindError(BindError::Cause::Other, "cannot join the multicast group " + address.host +
                                                     ": " + socket->errorString().toStdString());
    socket_ = socket.release();
    onDatagram_ = std::move(onDatagram);
    oversized_ = 0;
    QObject::connect(socket_, &QUdpSocket::readyRead, socket_,
                     [this, socket = socket_.data()] { readPending(socket); });
}

void QtDatagramSocket::readPending(QUdpSocket* socket) {
    while (socket_ == socket && socket->hasPendingDatagrams()) {
        const qint64 size = socket->pendingDatagramSize();
        // Read into the fixed buffer, so that nothing grows with what arrives; a datagram that
        // does not fit is cut short by the read and dropped.
        const qint64 got = socket->readDatagram(buffer_.data(), MaxDatagram);
        if (size > MaxDatagram || size < 0) {
            ++oversized_;
            continue;
        }
        if (const auto deliver = got >= 0 ? onDatagram_ : Receive())
            deliver(std::string_view(buffer_.data(), static_cast<std::size_t>(got)));
    }
}

QtDatagramSender::~QtDatagramSender() {
    close();
}

void QtDatagramSender::close() {
    discard(socket_);
}

void QtDatagramSender::open(const NetAddress& to) {
    close();
    const QString host = QString::fromStdString(to.host);
    const QHostAddress at = listenAddress(host);
    if (at.isNull())
        throw LinkError(to.host.empty() ? std::string("no host to send to")
                                        : to.host + " is a name: give a numeric address",
                        LinkError::Retry::Useless);
    auto socket = std::make_unique<QUdpSocket>();
    socket->setProxy(QNetworkProxy::NoProxy);
    // Bound to a port of the system's choosing, so that the options below can be set before the
    // first datagram; Qt allows broadcast on every UDP socket.
    const QHostAddress any(at.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                          : QHostAddress::AnyIPv4);
    if (!socket->bind(any, 0))
        throw LinkError("cannot send to " + to.host + ": " + socket->errorString().toStdString());
    if (at.isMulticast())
        socket->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    socket_ = socket.release();
    to_ = at;
    port_ = to.port;
    // Whatever comes back to the port is read and dropped, so that nothing piles up.
    QObject::connect(socket_, &QUdpSocket::readyRead, socket_, [socket = socket_.data()] {
        while (socket->hasPendingDatagrams())
            socket->readDatagram(nullptr, 0);
    });
}

bool QtDatagramSender::send(std::string_view datagram, std::string& why) {
    if (!socket_) {
        why = "not open";
        return false;
    }
    errno = 0;
    const qint64 sent =
        socket_->writeDatagram(datagram.data(), qint64(datagram.size()), to_, port_);
    const int error = errno; // read before anything else may change it
    if (sent == qint64(datagram.size()))
        return true;
    switch (error) {
    case ENETUNREACH:
        why = "network unreachable";
        break;
    case EHOSTUNREACH:
        why = "host unreachable";
        break;
    case EAGAIN:
    case ENOBUFS:
        why = "no room to send";
        break;
    case EMSGSIZE:
        why = "the datagram is too long";
        break;
    default:
        why = socket_->errorString().toStdString();
    }
    return false;
}

std::unique_ptr<IStreamLink> QtNetwork::makeStreamLink() {
    return std::make_unique<QtStreamLink>();
}

std::unique_ptr<IDatagramSocket> QtNetwork::makeDatagramSocket() {
    return std::make_unique<QtDatagramSocket>();
}

std::unique_ptr<IDatagramSender> QtNetwork::makeDatagramSender() {
    return std::make_unique<QtDatagramSender>();
}

bool QtNetwork::canListenOn(const std::string& host) {
    // Bound for a moment to a port of the system's choosing: the kernel alone knows every
    // address this machine can listen on.
    const QHostAddress at = listenAddress(QString::fromStdString(host));
    QUdpSocket probe;
    probe.setProxy(QNetworkProxy::NoProxy);
    return !at.isNull() && probe.bind(at, 0, QAbstractSocket::DontShareAddress);
}

} // namespace veltaro::qt
