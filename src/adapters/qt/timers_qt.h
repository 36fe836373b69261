// Responsibilities: ITimers over QTimer: timers that tick on the thread's event loop.
// Collaborations: the front end's main() hands it to the relay session and the headless report.
#pragma once

#include "ports/timers.h"

namespace veltaro::qt {

class QtTimers : public ITimers {
public:
    std::unique_ptr<ITimer> makeTimer(std::function<void()> onTick) override;
};

} // namespace veltaro::qt
