// Responsibilities: what the polled radios (rigctld, flrig) have in common: the publishing rule
// (a reading goes out when it changes, the first one after each connection always, and the
// current one again as a keep-alive), the capped reconnection backoff, and the one-line status
// messages (connected, lost, reconnecting). Their texts are read by sources/rig_protocols.
// Collaborations: RigctldSource and FlrigSource derive from PollingSource and report what their
// protocol learns through reading(), linkUp(), linkDown() and problem(); main.cpp only sees a
// FrequencySource.
#pragma once

#include "frequency_source.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <optional>

namespace bridge {

// Delays between connection attempts: doubling from the first delay up to the cap.
class Backoff {
public:
    explicit Backoff(int firstMs = 100, int capMs = 2000) : first_(firstMs), cap_(capMs) {}
    int next();
    void reset() { last_ = 0; }

private:
    int first_;
    int cap_;
    int last_ = 0;
};

class PollingSource : public FrequencySource {
    Q_OBJECT
public:
    static constexpr int KeepAliveMs = 30000;
    static constexpr int ProblemReportMs = 30000;

    // kind names the program in messages ("rigctld", "flrig").
    PollingSource(QString kind, QString host, quint16 port, int intervalMs,
                  QObject* parent = nullptr);
    void start() override;

    // For tests: a shorter keep-alive period.
    void setKeepAliveMs(int ms) { keepAlive_.setInterval(ms); }

protected:
    // Opens a new connection (or makes the first request); called at start and after each
    // backoff delay. The derived class answers with linkUp() or linkDown().
    virtual void connectNow() = 0;
    // One poll tick while the link is up.
    virtual void poll() = 0;

    // A good reading from the radio.
    void reading(qint64 hz);
    // The program answers; detail (may be empty) is added to the "connected" message.
    void linkUp(const QString& detail = {}, bool pollNow = true);
    // The radio has no confirmed frequency now (flrig without a transceiver): nothing is
    // repeated until the next reading, which goes out whatever it is.
    void forget();
    // The program is gone or cannot be reached: stop polling, retry after the backoff delay.
    void linkDown(const QString& reason);
    // A reply that was skipped; reported at most once per ProblemReportMs.
    void problem(const QString& what);
    // A status line about this source, prefixed with where it is.
    void say(const QString& what);

    bool isUp() const { return up_; }
    const QString& host() const { return host_; }
    quint16 port() const { return port_; }
    int intervalMs() const { return pollTimer_.interval(); }

private:
    void republish();
    void publish(qint64 hz);

    QString kind_;
    QString host_;
    quint16 port_;
    QTimer pollTimer_;
    QTimer retryTimer_;
    QTimer keepAlive_;
    QElapsedTimer sinceProblem_;
    Backoff backoff_;
    bool up_ = false;
    bool reportedDown_ = false;     // the current outage has been reported
    std::optional<qint64> current_; // the value last published, while it is confirmed
};

} // namespace bridge
