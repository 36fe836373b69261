#include "adapters/qt/timers_qt.h"

#include <QTimer>

#include <utility>

namespace veltaro::qt {

namespace {

class QtTimer : public ITimer {
public:
    explicit QtTimer(std::function<void()> onTick) {
        QObject::connect(&timer_, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
    }
    void start(int intervalMs) override { timer_.start(intervalMs); }
    void stop() override { timer_.stop(); }
    bool running() const override { return timer_.isActive(); }

private:
    QTimer timer_;
};

} // namespace

std::unique_ptr<ITimer> QtTimers::makeTimer(std::function<void()> onTick) {
    return std::make_unique<QtTimer>(std::move(onTick));
}

} // namespace veltaro::qt
