// Responsibilities: the built-in simulated radio: tunes up through a window of each amateur band
// in fixed steps at a fixed rate, then hops to the next band, round and round. Also the --flood
// load (the same sweep at 10,000 changes per second in small steps).
// Collaborations: a FrequencySource; main.cpp connects it to the publishers.
#pragma once

#include "frequency_source.h"

#include <QElapsedTimer>
#include <QTimer>

namespace bridge {

struct BandWindow {
    qint64 lowHz;
    qint64 highHz;
};

// The windows the sweep visits, lowest band first.
const BandWindow* sweepBands(int* count);

// The tuning steps of the sweep, without any timing: next() returns the following frequency.
class SweepPlan {
public:
    explicit SweepPlan(qint64 stepHz);
    qint64 current() const { return hz_; }
    qint64 stepHz() const { return stepHz_; }
    qint64 next();

private:
    qint64 stepHz_;
    int band_ = 0;
    qint64 hz_;
};

class SweepSource : public FrequencySource {
    Q_OBJECT
public:
    SweepSource(qint64 stepHz, int changesPerSecond, QObject* parent = nullptr);
    void start() override;

private:
    void tick();

    SweepPlan plan_;
    int rate_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 emitted_ = 0;
};

} // namespace bridge
