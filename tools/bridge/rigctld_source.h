// Responsibilities: a radio read through Hamlib's rigctld over TCP: asks "f" at the poll
// interval with at most one request outstanding, reads the replies line by line, and reconnects
// with a capped backoff when rigctld goes away or stops answering.
// Collaborations: a PollingSource (publishing rule, backoff, status lines); the core's rigctld
// texts (sources/rig_protocols); owns a QTcpSocket on the caller's event loop, never waits on it.
#pragma once

#include "polling_source.h"
#include "protocols/rig_protocols.h"

#include <QTcpSocket>
#include <QTimer>

class RigctldSource : public bridge::PollingSource {
    Q_OBJECT
public:
    static constexpr int DefaultReplyTimeoutMs = 3000;
    static constexpr int ConnectTimeoutMs = 3000;
    // Longest reply line accepted, finished or not.
    static constexpr qsizetype MaxLine = 1024;

    RigctldSource(QString host, quint16 port, int intervalMs, QObject* parent = nullptr);
    ~RigctldSource() override;

    // For tests: how long a request may go unanswered before the link counts as lost.
    void setReplyTimeoutMs(int ms) { replyTimer_.setInterval(ms); }

protected:
    void connectNow() override;
    void poll() override;

private:
    void readLines();
    void handle(std::string_view line);
    void fail(const QString& reason);

    QTcpSocket socket_;
    QTimer connectTimer_;
    QTimer replyTimer_;
    veltaro::LineSplitter lines_{std::size_t(MaxLine)};
    bool connecting_ = false;
    bool outstanding_ = false;
};
