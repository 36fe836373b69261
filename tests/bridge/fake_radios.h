// Test support: scripted stand-ins for rigctld and flrig on loopback, run on the test's event
// loop, and a recorder for what a FrequencySource emits.
#pragma once

#include "frequency_source.h"

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QScopeGuard>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <optional>

namespace testing_support {

// Everything a source reports.
struct Recorder {
    explicit Recorder(FrequencySource& source) {
        QObject::connect(&source, &FrequencySource::frequencyHz, &source,
                         [this](qint64 hz) { values << hz; });
        QObject::connect(&source, &FrequencySource::status, &source,
                         [this](const QString& line) { lines << line; });
    }
    int linesContaining(const QString& word) const {
        return int(
            std::count_if(lines.begin(), lines.end(), [&](auto& l) { return l.contains(word); }));
    }
    QList<qint64> values;
    QStringList lines;
};

// Listens on 127.0.0.1; the port stays the same across stop() and listen() again.
class FakeServer : public QObject {
public:
    bool listen() {
        if (!server_.listen(QHostAddress::LocalHost, port_))
            return false;
        port_ = server_.serverPort();
        return true;
    }
    // Stops listening and drops every client.
    void stop() {
        server_.close();
        for (auto& c : clients_)
            if (c)
                c->abort();
        clients_.clear();
    }
    quint16 port() const { return port_; }
    int connections = 0;

protected:
    FakeServer() {
        connect(&server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* c = server_.nextPendingConnection()) {
                ++connections;
                clients_ << c;
                connect(c, &QTcpSocket::readyRead, this, [this, c] { received(c); });
                connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
            }
        });
    }
    virtual void received(QTcpSocket* client) = 0;

    // Sends the parts of a reply that '|' separates, 40 ms apart (a reply split across reads).
    void sendInParts(QTcpSocket* client, const QByteArray& reply) {
        const QList<QByteArray> parts = reply.split('|');
        for (qsizetype i = 0; i < parts.size(); ++i) {
            QPointer<QTcpSocket> c = client;
            QTimer::singleShot(static_cast<int>(40 * i), this, [c, part = parts[i]] {
                if (c)
                    c->write(part);
            });
        }
    }

private:
    QTcpServer server_;
    QList<QPointer<QTcpSocket>> clients_;
    quint16 port_ = 0;
};

// Answers each "f" line with the next scripted reply, then with `otherwise`; a reply of
// std::nullopt is no answer at all.
class FakeRigctld : public FakeServer {
public:
    std::deque<std::optional<QByteArray>> script;
    std::optional<QByteArray> otherwise = QByteArray("RPRT -11\n");
    int requests = 0;
    int requestsOnThisConnection = 0;

protected:
    void received(QTcpSocket* client) override {
        if (client != last_) {
            last_ = client;
            requestsOnThisConnection = 0;
        }
        while (client->canReadLine()) {
            if (client->readLine().trimmed() != "f")
                continue;
            ++requests;
            ++requestsOnThisConnection;
            std::optional<QByteArray> reply = otherwise;
            if (!script.empty()) {
                reply = script.front();
                script.pop_front();
            }
            if (reply)
                sendInParts(client, *reply);
        }
    }

private:
    QTcpSocket* last_ = nullptr;
};

// An XML-RPC reply carrying one string.
inline QByteArray xmlRpcString(const QByteArray& text) {
    return "<?xml version=\"1.0\"?>\n<methodResponse><params><param><value><string>" + text +
           "</string></value></param></params></methodResponse>\n";
}

// flrig's XML-RPC server over HTTP/1.1 with keep-alive: rig.get_xcvr answers `xcvr`,
// rig.get_vfo answers `vfo` (whole response bodies); a status other than 200 is sent as it is;
// `silent` answers nothing.
class FakeFlrig : public FakeServer {
public:
    QByteArray xcvr = xmlRpcString("IC-7300");
    QByteArray vfo = xmlRpcString("14074000");
    int status = 200;
    bool silent = false;
    QStringList calls;

protected:
    void received(QTcpSocket* client) override {
        QByteArray buf = client->property("pending").toByteArray() + client->readAll();
        const auto keep = qScopeGuard([&] { client->setProperty("pending", buf); });
        for (qsizetype end; (end = buf.indexOf("\r\n\r\n")) >= 0;) {
            const QByteArray head = buf.left(end).toLower();
            const qsizetype at = head.indexOf("content-length:");
            const qsizetype length =
                at < 0 ? 0 : head.mid(at + 15).split('\n').first().trimmed().toLongLong();
            if (buf.size() < end + 4 + length)
                return;
            QByteArray method = buf.mid(end + 4, length);
            buf.remove(0, end + 4 + length);
            method = method.mid(method.indexOf("<methodName>") + 12);
            method.truncate(method.indexOf('<'));
            calls << QString::fromLatin1(method);
            if (silent)
                continue;
            const QByteArray answer = method == "rig.get_xcvr"  ? xcvr
                                      : method == "rig.get_vfo" ? vfo
                                                                : "<methodResponse><fault/>";
            client->write("HTTP/1.1 " + QByteArray::number(status) +
                          " OK\r\nContent-Type: text/xml\r\nContent-Length: " +
                          QByteArray::number(answer.size()) + "\r\n\r\n" + answer);
        }
    }
};

} // namespace testing_support
