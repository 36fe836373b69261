#include "adapters/win32/timers_win32.h"

#include "adapters/win32/message_window_win32.h"

#include <windows.h>

#include <utility>

namespace veltaro::win32 {

namespace {

constexpr const char* TimersClass = "VeltaroTimers";

LRESULT CALLBACK timersProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_TIMER) {
        if (auto* self = reinterpret_cast<Win32Timers*>(GetWindowLongPtrA(h, GWLP_USERDATA)))
            self->ticked(static_cast<unsigned>(wp));
        return 0;
    }
    return DefWindowProcA(h, msg, wp, lp);
}

} // namespace

class Win32Timer : public ITimer {
public:
    Win32Timer(Win32Timers& owner, unsigned id) : owner_(owner), id_(id) {}
    ~Win32Timer() override {
        stop();
        owner_.ticks_.erase(id_);
    }
    void start(int intervalMs) override {
        running_ = SetTimer(static_cast<HWND>(owner_.window_), id_, static_cast<UINT>(intervalMs),
                            nullptr) != 0;
    }
    void stop() override {
        if (running_)
            KillTimer(static_cast<HWND>(owner_.window_), id_);
        running_ = false;
    }
    bool running() const override { return running_; }

private:
    Win32Timers& owner_;
    unsigned id_;
    bool running_ = false;
};

Win32Timers::Win32Timers() {
    window_ = makeMessageWindow(TimersClass, timersProc, this);
}

Win32Timers::~Win32Timers() {
    if (window_) {
        SetWindowLongPtrA(static_cast<HWND>(window_), GWLP_USERDATA, 0);
        DestroyWindow(static_cast<HWND>(window_));
    }
}

std::unique_ptr<ITimer> Win32Timers::makeTimer(std::function<void()> onTick) {
    const unsigned id = nextId_++;
    ticks_[id] = std::move(onTick);
    return std::make_unique<Win32Timer>(*this, id);
}

void Win32Timers::ticked(unsigned id) {
    // A copy: the tick may destroy its own timer.
    if (auto it = ticks_.find(id); it != ticks_.end())
        if (const auto tick = it->second)
            tick();
}

} // namespace veltaro::win32
