// Responsibilities: the time that the core's timings are measured on: a monotonic count of
// milliseconds (back-off before a retry, a server silent too long, a stale broadcast).
// Collaborations: app/ and sources/ take an IClock; SteadyClock is the real one for every
// platform; tests use a fake they move by hand.
#pragma once

#include <chrono>
#include <cstdint>

namespace veltaro {

class IClock {
public:
    virtual ~IClock() = default;
    virtual std::int64_t nowMs() const = 0;
};

class SteadyClock : public IClock {
public:
    std::int64_t nowMs() const override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
};

} // namespace veltaro
