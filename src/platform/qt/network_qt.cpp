#include "platform/qt/network_qt.h"

#include "platform/errors.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

namespace veltaro::qt {

namespace {

QString describe(const NetAddress& a) {
    return QString::fromStdString(a.host) + QLatin1Char(':') + QString::number(a.port);
}

// The address to bind: a numeric one as written, "localhost" as the loopback, any other name
// as the first address it resolves to.
QHostAddress bindAddress(const std::string& host) {
    const QString name = QString::fromStdString(host);
    QHostAddress numeric(name);
    if (!numeric.isNull())
        return numeric;
    if (name.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return QHostAddress(QHostAddress::LocalHost);
    const QHostInfo info = QHostInfo::fromName(name);
    return info.addresses().value(0);
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
                     [this, socket] { finish(socket, socket->errorString()); });
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
    const QHostAddress at = bindAddress(address.host);
    auto* socket = new QUdpSocket;
    socket->setProxy(QNetworkProxy::NoProxy);
    if (at.isNull() ||
        !socket->bind(at, address.port,
                      QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        const QString why = at.isNull() ? QStringLiteral("unknown host") : socket->errorString();
        delete socket;
        throw LinkError("cannot listen on " + describe(address).toStdString() + ": " +
                        why.toStdString());
    }
    socket_ = socket;
    onDatagram_ = std::move(onDatagram);
    oversized_ = 0;
    QObject::connect(socket, &QUdpSocket::readyRead, socket,
                     [this, socket] { readPending(socket); });
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

std::unique_ptr<IStreamLink> QtNetwork::makeStreamLink() {
    return std::make_unique<QtStreamLink>();
}

std::unique_ptr<IDatagramSocket> QtNetwork::makeDatagramSocket() {
    return std::make_unique<QtDatagramSocket>();
}

bool QtNetwork::canListenOn(const std::string& host) {
    // TODO(issue work in progress): the exclusive bind's own test.
    return !QHostAddress(QString::fromStdString(host)).isNull() || host == "localhost";
}

} // namespace veltaro::qt
