#include "polling_source.h"

#include "host_port.h"

#include <algorithm>

namespace bridge {

int Backoff::next() {
    last_ = last_ == 0 ? first_ : std::min(cap_, last_ * 2);
    return last_;
}

PollingSource::PollingSource(QString kind, QString host, quint16 port, int intervalMs,
                             QObject* parent)
    : FrequencySource(parent), kind_(std::move(kind)), host_(std::move(host)), port_(port) {
    pollTimer_.setInterval(std::max(1, intervalMs));
    retryTimer_.setSingleShot(true);
    keepAlive_.setSingleShot(true);
    keepAlive_.setInterval(KeepAliveMs);
    connect(&pollTimer_, &QTimer::timeout, this, [this] {
        if (up_)
            poll();
    });
    connect(&retryTimer_, &QTimer::timeout, this, [this] { connectNow(); });
    connect(&keepAlive_, &QTimer::timeout, this, &PollingSource::republish);
}

void PollingSource::start() {
    emit status(QStringLiteral("polling %1 at %2 every %3 ms")
                    .arg(kind_, formatHostPort(host_, port_))
                    .arg(pollTimer_.interval()));
    connectNow();
}

void PollingSource::reading(qint64 hz) {
    backoff_.reset();
    if (!current_ || *current_ != hz) {
        publish(hz);
    }
}

void PollingSource::publish(qint64 hz) {
    current_ = hz;
    keepAlive_.start();
    emit frequencyHz(hz);
}

void PollingSource::republish() {
    // Only a value the radio has confirmed on the live link is repeated.
    if (up_ && current_)
        publish(*current_);
}

void PollingSource::linkUp(const QString& detail, bool pollNow) {
    if (up_)
        return;
    up_ = true;
    reportedDown_ = false;
    retryTimer_.stop();
    say(detail.isEmpty() ? QStringLiteral("connected") : QStringLiteral("connected, ") + detail);
    pollTimer_.start();
    if (pollNow)
        poll();
}

void PollingSource::linkDown(const QString& reason) {
    const bool wasUp = up_;
    up_ = false;
    pollTimer_.stop();
    forget();
    if (wasUp)
        say(QStringLiteral("lost (%1), reconnecting").arg(reason));
    else if (!reportedDown_)
        say(QStringLiteral("not reachable (%1), retrying").arg(reason));
    reportedDown_ = true;
    retryTimer_.start(backoff_.next());
}

void PollingSource::forget() {
    current_.reset();
    keepAlive_.stop();
}

void PollingSource::problem(const QString& what) {
    if (sinceProblem_.isValid() && sinceProblem_.elapsed() < ProblemReportMs)
        return;
    sinceProblem_.start();
    say(what);
}

void PollingSource::say(const QString& what) {
    emit status(QStringLiteral("%1 at %2: %3").arg(kind_, formatHostPort(host_, port_), what));
}

} // namespace bridge
