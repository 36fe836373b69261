// Responsibilities: timers that run a handler on the user-interface thread every interval while
// they run.
// Collaborations: the relay session runs its poll and reopen timers through them, the headless
// report its reminder; adapters/qt (QTimer) and adapters/win32 (SetTimer on a message-only
// window) implement them; tests use a fake they fire by hand.
#pragma once

#include <functional>
#include <memory>

namespace veltaro {

class ITimer {
public:
    virtual ~ITimer() = default;
    // Ticks every intervalMs from now on, the first tick after intervalMs; a running timer
    // starts counting again.
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
    virtual bool running() const = 0;
};

class ITimers {
public:
    virtual ~ITimers() = default;
    // A stopped timer whose ticks run onTick. Destroying it stops it.
    virtual std::unique_ptr<ITimer> makeTimer(std::function<void()> onTick) = 0;
};

} // namespace veltaro
