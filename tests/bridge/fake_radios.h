// Test support: scripted stand-ins for rigctld and flrig on loopback, run on the test's event
// loop, each with the source that polls it and what that source reported.
#pragma once

#include "flrig_source.h"
#include "rigctld_source.h"

#include <QtNetwork>

#include <deque>
#include <optional>

namespace testing_support {

// Listens on 127.0.0.1; the port stays the same across stop() and listen() again.
class FakeServer : public QTcpServer {
public:
    FakeServer() {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* c = nextPendingConnection()) {
                ++connections;
                connect(c, &QTcpSocket::readyRead, this, [this, c] { received(c); });
                connect(c, &QTcpSocket::disconnected, c, &QObject::deleteLater);
            }
        });
    }
    bool listen() {
        return QTcpServer::listen(QHostAddress::LocalHost, port_) && (port_ = serverPort());
    }
    // Stops listening and drops every client.
    void stop() {
        close();
        for (QTcpSocket* c : findChildren<QTcpSocket*>())
            c->abort();
    }
    QString address() const { return QString("127.0.0.1:%1").arg(port_); }
    int connections = 0;

protected:
    virtual void received(QTcpSocket* client) = 0;
    quint16 port_ = 0;
};

// Answers each "f" line with the next scripted reply, then with `otherwise`; a reply of
// std::nullopt is no answer at all. The parts of a reply that '|' separates go 40 ms apart.
class FakeRigctld : public FakeServer {
public:
    std::deque<std::optional<QByteArray>> script;
    std::optional<QByteArray> otherwise = QByteArray("RPRT -11\n");
    int requests = 0;

protected:
    void received(QTcpSocket* client) override {
        while (client->canReadLine()) {
            if (client->readLine().trimmed() != "f")
                continue;
            ++requests;
            std::optional<QByteArray> reply = otherwise;
            if (!script.empty()) {
                reply = script.front();
                script.pop_front();
            }
            const QList<QByteArray> parts = reply ? reply->split('|') : QList<QByteArray>{};
            for (qsizetype i = 0; i < parts.size(); ++i)
                QTimer::singleShot(int(40 * i), this, [c = QPointer(client), part = parts[i]] {
                    if (c)
                        c->write(part);
                });
        }
    }
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
        for (qsizetype end; (end = buf.indexOf("</methodCall>")) >= 0; buf.remove(0, end + 13)) {
            const qsizetype at = buf.indexOf("<methodName>") + 12;
            const QByteArray method = buf.mid(at, buf.indexOf("</methodName>") - at);
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

// A fake server listening, the source that polls it every intervalMs (not started yet), and
// everything the source reports.
template <class Fake, class Source> struct Polled : Fake {
    explicit Polled(int intervalMs)
        : source("127.0.0.1", (Fake::listen(), this->port_), intervalMs) {
        QObject::connect(&source, &FrequencySource::frequencyHz, [this](qint64 v) { values << v; });
        QObject::connect(&source, &FrequencySource::status, [this](QString l) { lines << l; });
    }
    int linesContaining(const QString& word) const { return int(lines.filter(word).size()); }
    std::string all() const { return lines.join('\n').toStdString(); }

    Source source;
    QList<qint64> values;
    QStringList lines;
};
using Rigctld = Polled<FakeRigctld, RigctldSource>;
using Flrig = Polled<FakeFlrig, FlrigSource>;

} // namespace testing_support
