// Responsibilities: ITimers over SetTimer: the timers of one thread, ticking on WM_TIMER of a
// message-only window while the thread's message loop (or a message box's) runs.
// Collaborations: the front end's main() hands it to the relay session.
#pragma once

#include "ports/timers.h"

#include <map>

namespace veltaro::win32 {

class Win32Timers : public ITimers {
public:
    Win32Timers();
    ~Win32Timers() override;
    Win32Timers(const Win32Timers&) = delete;
    Win32Timers& operator=(const Win32Timers&) = delete;

    std::unique_ptr<ITimer> makeTimer(std::function<void()> onTick) override;

    // From the window procedure: the timer of the id ticked.
    void ticked(unsigned id);

private:
    friend class Win32Timer;
    void* window_ = nullptr;
    unsigned nextId_ = 1;
    std::map<unsigned, std::function<void()>> ticks_;
};

} // namespace veltaro::win32
