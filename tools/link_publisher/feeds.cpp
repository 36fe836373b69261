#include "feeds.h"

#include "publisher_options.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <limits>
#include <unistd.h>

namespace link_publisher {

namespace {

struct BandWindow {
    qint64 lowHz;
    qint64 highHz;
};

// The windows the sweep visits, lowest band first: 100 kHz (or the whole band, when narrower)
// from the bottom of each band.
constexpr BandWindow Bands[] = {
    {1'800'000, 1'900'000},   {3'500'000, 3'600'000},   {7'000'000, 7'100'000},
    {10'100'000, 10'150'000}, {14'000'000, 14'100'000}, {18'068'000, 18'168'000},
    {21'000'000, 21'100'000}, {24'890'000, 24'990'000}, {28'000'000, 28'100'000},
    {50'000'000, 50'100'000},
};

// A stalled event loop does not make up for lost time with a burst larger than this.
constexpr qint64 MaxCatchUp = 1000;

} // namespace

SweepPlan::SweepPlan(qint64 stepHz) : stepHz_(stepHz), hz_(Bands[0].lowHz) {}

qint64 SweepPlan::next() {
    if (hz_ + stepHz_ <= Bands[band_].highHz) {
        hz_ += stepHz_;
    } else {
        band_ = (band_ + 1) % static_cast<int>(std::size(Bands));
        hz_ = Bands[band_].lowHz;
    }
    return hz_;
}

SweepFeed::SweepFeed(qint64 stepHz, int changesPerSecond, QObject* parent)
    : Feed(parent), plan_(stepHz), rate_(std::max(1, changesPerSecond)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(std::clamp(1000 / rate_, 1, 1000));
    connect(&timer_, &QTimer::timeout, this, &SweepFeed::tick);
}

void SweepFeed::start() {
    emit status(QStringLiteral("sweeping the bands, %1 Hz steps, %2 changes per second")
                    .arg(plan_.stepHz())
                    .arg(rate_));
    emit frequencyHz(plan_.current());
    clock_.start();
    emitted_ = 0;
    timer_.start();
}

void SweepFeed::tick() {
    const qint64 due = clock_.elapsed() * rate_ / 1000;
    qint64 n = std::min(due - emitted_, MaxCatchUp);
    if (due - emitted_ > MaxCatchUp)
        emitted_ = due - MaxCatchUp;
    for (; n > 0; --n) {
        ++emitted_;
        emit frequencyHz(plan_.next());
    }
}

StdinFeed::StdinFeed(int fd, QObject* parent) : Feed(parent), fd_(fd) {}

void StdinFeed::start() {
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &StdinFeed::readable);
}

void StdinFeed::readable() {
    char buf[4096];
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n > 0) {
        feed(QByteArray(buf, static_cast<qsizetype>(n)));
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        notifier_->setEnabled(false);
        finish();
    }
}

void StdinFeed::feed(const QByteArray& bytes) {
    pending_ += bytes;
    qsizetype end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        const QByteArray text = pending_.left(end);
        pending_.remove(0, end + 1);
        line(text);
    }
}

void StdinFeed::finish() {
    if (finished_)
        return;
    finished_ = true;
    if (!pending_.isEmpty()) {
        const QByteArray last = pending_;
        pending_.clear();
        line(last);
    }
    emit status(QStringLiteral("standard input ended; still serving the last values"));
}

void StdinFeed::line(const QByteArray& text) {
    const QString t = QString::fromUtf8(text).trimmed();
    if (t.isEmpty())
        return;
    if (const auto hz = wholeNumber(t, 1, std::numeric_limits<qint64>::max())) {
        emit frequencyHz(*hz);
        return;
    }
    if (!command(t.split(QLatin1Char(' '), Qt::SkipEmptyParts)))
        emit status(QStringLiteral("ignoring \"%1\": neither a frequency in Hz nor a command")
                        .arg(t.left(40)));
}

bool StdinFeed::command(const QStringList& words) {
    if (words.size() >= 2 && words[0] == QLatin1String("set")) {
        emit script(words[1], {words.mid(2).join(QLatin1Char(' '))});
        return true;
    }
    if (words.size() != 3 || words[0] != QLatin1String("burst"))
        return false;
    const auto n = wholeNumber(words[2], 1, MaxBurst);
    if (!n)
        return false;
    QStringList values;
    values.reserve(*n);
    for (qint64 k = 1; k <= *n; ++k)
        values << QString::number(k);
    emit script(words[1], values);
    return true;
}

} // namespace link_publisher
