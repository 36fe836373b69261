// Responsibilities: a radio read through Hamlib's rigctld over TCP: asks "f" at the poll
// interval with at most one request outstanding, reads the replies line by line, and reconnects
// with a capped backoff when rigctld goes away or stops answering.
// Collaborations: a PollingSource (publishing rule, backoff, status lines); owns a QTcpSocket on
// the caller's event loop, never waits on it.
#pragma once

#include "polling_source.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QTimer>

// What one line from rigctld is.
struct RigctldLine {
    enum Kind {
        Frequency, // a frequency in Hz ("14074000", or "Frequency: 14074000")
        Report,    // "RPRT n": the end of a reply, an error when n is not 0
        Extra,     // a VFO name, a "VFO: ..." line or a blank line: belongs to a reply, ignored
        Malformed, // anything else: a reply that cannot be used
    };
    Kind kind = Malformed;
    qint64 hz = 0;
    int code = 0;
};

RigctldLine classifyRigctldLine(QByteArrayView line);

class RigctldSource : public bridge::PollingSource {
    Q_OBJECT
public:
    static constexpr int DefaultReplyTimeoutMs = 3000;
    static constexpr int ConnectTimeoutMs = 3000;
    // Longest line kept while waiting for its end.
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
    void handle(QByteArrayView line);
    void fail(const QString& reason);

    QTcpSocket socket_;
    QTimer connectTimer_;
    QTimer replyTimer_;
    QByteArray buffer_;
    bool connecting_ = false;
    bool outstanding_ = false;
};
