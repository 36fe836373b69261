// Responsibilities: a radio read through flrig's XML-RPC server: each poll asks rig.get_xcvr and,
// when a transceiver is connected, rig.get_vfo (flrig answers get_vfo with a placeholder when
// there is none); one request at a time; reconnects with a capped backoff when flrig goes away.
// Collaborations: a PollingSource (publishing rule, backoff, status lines); the core's XML-RPC
// texts (sources/rig_protocols); posts to http://HOST:PORT/RPC2 through its own
// QNetworkAccessManager on the caller's event loop.
#pragma once

#include "polling_source.h"

#include <QNetworkAccessManager>
#include <QPointer>
#include <QString>

class QNetworkReply;

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
