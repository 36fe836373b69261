// Responsibilities: the network links of the Linux build (ports/network.h): a TCP connection
// over QTcpSocket (no proxy, Nagle off, a host name resolved off the caller's thread, a
// connection attempt that has no answer within 3 s ends as closed, the reasons in plain words),
// a UDP socket over QUdpSocket on a numeric address: a unicast one bound exclusively, a
// broadcast or multicast one shared with the port's other listeners (the group joined on every
// interface, the loopback included), and a UDP sender over QUdpSocket::writeDatagram to a
// numeric address, broadcast allowed, multicast with a time to live of 1. Datagrams larger than
// any a rig program sends are read and dropped unseen. Nothing here waits for a name server or
// for room to send.
// Collaborations: the rigctld, flrig and RadioInfo sources and the state feed use them through
// INetwork; main.cpp and the headless runner make one QtNetwork.
#pragma once

#include "ports/network.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>

class QTcpSocket;
class QTimer;
class QUdpSocket;

namespace veltaro::qt {

class QtStreamLink : public IStreamLink {
public:
    static constexpr int ConnectTimeoutMs = 3000;

    QtStreamLink() = default;
    ~QtStreamLink() override;
    QtStreamLink(const QtStreamLink&) = delete;
    QtStreamLink& operator=(const QtStreamLink&) = delete;

    void connect(const NetAddress& address, Handlers handlers) override;
    void send(std::string_view bytes) override;
    void close() override;

private:
    void finish(QTcpSocket* socket, const QString& reason);

    // A new socket for each connection: signals of a dropped one can never reach the next.
    QPointer<QTcpSocket> socket_;
    QPointer<QTimer> timer_;
    Handlers handlers_;
};

class QtDatagramSocket : public IDatagramSocket {
public:
    static constexpr std::int64_t MaxDatagram = 8192;

    QtDatagramSocket() = default;
    ~QtDatagramSocket() override;
    QtDatagramSocket(const QtDatagramSocket&) = delete;
    QtDatagramSocket& operator=(const QtDatagramSocket&) = delete;

    void listen(const NetAddress& address, Receive onDatagram) override;
    void close() override;
    // Datagrams dropped for their size since listen().
    std::uint64_t oversized() const { return oversized_; }

private:
    void readPending(QUdpSocket* socket);

    QPointer<QUdpSocket> socket_;
    Receive onDatagram_;
    std::array<char, MaxDatagram> buffer_{};
    std::uint64_t oversized_ = 0;
};

class QtDatagramSender : public IDatagramSender {
public:
    QtDatagramSender() = default;
    ~QtDatagramSender() override;
    QtDatagramSender(const QtDatagramSender&) = delete;
    QtDatagramSender& operator=(const QtDatagramSender&) = delete;

    void open(const NetAddress& to) override;
    bool send(std::string_view datagram, std::string& why) override;
    void close() override;

private:
    QPointer<QUdpSocket> socket_;
    QHostAddress to_;
    quint16 port_ = 0;
};

class QtNetwork : public INetwork {
public:
    std::unique_ptr<IStreamLink> makeStreamLink() override;
    std::unique_ptr<IDatagramSocket> makeDatagramSocket() override;
    std::unique_ptr<IDatagramSender> makeDatagramSender() override;
    bool canListenOn(const std::string& host) override;
};

} // namespace veltaro::qt
