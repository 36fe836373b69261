// Responsibilities: one source of frequency readings, a rig-control program reached one way or
// another: start (link to the program), stop (no more readings), close (let go of the link),
// the readings it delivers and the loss of its link. A polled source reads on each tick of the
// poll timer.
// Collaborations: shell/source_selector starts and stops the source whose box is ticked and
// hands its readings to the frequency tracker; sources/registrations makes each source.
#pragma once

#include "relay/reading.h"

#include <functional>
#include <utility>

namespace veltaro {

class FrequencySource {
public:
    using ReadingHandler = std::function<void(const Reading&)>;
    using LossHandler = std::function<void()>;

    virtual ~FrequencySource() = default;

    void setHandlers(ReadingHandler onReading, LossHandler onLost) {
        onReading_ = std::move(onReading);
        onLost_ = std::move(onLost);
    }

    // Links to the program; readings may arrive before this returns. Raises LinkError when the
    // program does not answer.
    virtual void start() = 0;
    // No more readings. The link may stay until the source is started again or closed.
    virtual void stop() = 0;
    // Lets go of the link: the window is closing.
    virtual void close() = 0;

    // A polled source reads once on each tick of the poll timer while it runs.
    virtual bool polled() const { return false; }
    virtual void poll() {}

protected:
    void deliver(const Reading& r) const {
        if (onReading_)
            onReading_(r);
    }
    void reportLost() const {
        if (onLost_)
            onLost_();
    }

private:
    ReadingHandler onReading_;
    LossHandler onLost_;
};

} // namespace veltaro
