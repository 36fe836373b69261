#include "sweep_source.h"

#include <algorithm>
#include <iterator>

namespace bridge {

namespace {

// 100 kHz (or the whole band, when narrower) from the bottom of each band.
constexpr BandWindow Bands[] = {
    {1'800'000, 1'900'000},   {3'500'000, 3'600'000},   {7'000'000, 7'100'000},
    {10'100'000, 10'150'000}, {14'000'000, 14'100'000}, {18'068'000, 18'168'000},
    {21'000'000, 21'100'000}, {24'890'000, 24'990'000}, {28'000'000, 28'100'000},
    {50'000'000, 50'100'000},
};

// A stalled event loop does not make up for lost time with a burst larger than this.
constexpr qint64 MaxBurst = 1000;

} // namespace

const BandWindow* sweepBands(int* count) {
    *count = static_cast<int>(std::size(Bands));
    return Bands;
}

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

SweepSource::SweepSource(qint64 stepHz, int changesPerSecond, QObject* parent)
    : FrequencySource(parent), plan_(stepHz), rate_(std::max(1, changesPerSecond)) {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(std::clamp(1000 / rate_, 1, 1000));
    connect(&timer_, &QTimer::timeout, this, &SweepSource::tick);
}

void SweepSource::start() {
    emit status(QStringLiteral("sweeping the bands, %1 Hz steps, %2 changes per second")
                    .arg(plan_.stepHz())
                    .arg(rate_));
    emit frequencyHz(plan_.current());
    clock_.start();
    emitted_ = 0;
    timer_.start();
}

void SweepSource::tick() {
    const qint64 due = clock_.elapsed() * rate_ / 1000;
    qint64 n = std::min(due - emitted_, MaxBurst);
    if (due - emitted_ > MaxBurst)
        emitted_ = due - MaxBurst;
    for (; n > 0; --n) {
        ++emitted_;
        emit frequencyHz(plan_.next());
    }
}

} // namespace bridge
