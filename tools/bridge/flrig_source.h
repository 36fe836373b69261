// Responsibilities: a radio read through flrig's XML-RPC server: each poll asks rig.get_xcvr and,
// when a transceiver is connected, rig.get_vfo (flrig answers get_vfo with a placeholder when
// there is none); one request at a time; reconnects with a capped backoff when flrig goes away.
// Collaborations: a PollingSource (publishing rule, backoff, status lines); posts to
// http://HOST:PORT/RPC2 through its own QNetworkAccessManager on the caller's event loop.
#pragma once

#include "polling_source.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QString>

class QNetworkReply;

// The single value of an XML-RPC methodResponse, as text (string, int, i4, i8, double, or an
// untyped value). nullopt with *error set for a fault or a body that is not such a response.
std::optional<QString> parseXmlRpcResponse(const QByteArray& body, QString* error);

// A methodCall without parameters.
QByteArray xmlRpcCall(const char* method);

// True when get_xcvr's answer means that flrig has no transceiver connected.
bool isNoTransceiver(const QString& xcvr);

class FlrigSource : public bridge::PollingSource {
    Q_OBJECT
public:
    static constexpr int DefaultReplyTimeoutMs = 3000;

    FlrigSource(QString host, quint16 port, int intervalMs, QObject* parent = nullptr);
    ~FlrigSource() override;

    // For tests: how long a request may go unanswered before the link counts as lost.
    void setReplyTimeoutMs(int ms) { timeoutMs_ = ms; }

protected:
    void connectNow() override;
    void poll() override;

private:
    enum class Step { Transceiver, Frequency };
    void send(Step step);
    void finished(QNetworkReply* reply, Step step);

    QNetworkAccessManager manager_;
    QPointer<QNetworkReply> pending_;
    int timeoutMs_ = DefaultReplyTimeoutMs;
    QString transceiver_; // as last reported, "" before the first answer
};
