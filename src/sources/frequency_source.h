// Responsibilities: one source of frequency readings, a rig-control program reached one way or
// another: start (link to the program), restart (link again after a loss, never starting a
// program the user did not start), stop (no more readings), close (let go of the link), the
// readings it delivers, the state of its link, and notices for the user. A polled source works
// on each tick of the poll timer.
// Collaborations: shell/source_selector starts and stops the source whose box is ticked, links
// it again after a loss, and hands its readings to the frequency tracker; sources/registrations
// makes each source.
#pragma once

#include "relay/reading.h"

#include <functional>
#include <string>
#include <utility>

namespace veltaro {

class FrequencySource {
public:
    struct Handlers {
        std::function<void(const Reading&)> reading;
        // The link is up: for a source that links later (over the network), or again after a
        // loss that the source recovers from by itself.
        std::function<void()> linked;
        // The link failed or was lost: the program went away, restarted, or stopped answering;
        // the reason in plain words ("connection refused", "the rig answered an error (RPRT
        // -5)").
        std::function<void(const std::string& reason)> lost;
        // The program is there again (the platform saw it appear): worth linking at once.
        std::function<void()> appeared;
        // Something the user is told once, in a box posted after the running step.
        std::function<void(const std::string&)> notice;
    };

    virtual ~FrequencySource() = default;

    void setHandlers(Handlers h) { handlers_ = std::move(h); }

    // Links to the program. A source that links at once returns linked, or raises LinkError when
    // the program does not answer; readings may arrive before this returns. A source that
    // linksLater() returns at once and tells the outcome through linked or lost.
    virtual void start() = 0;
    // Links again after a loss or a failed start. The default starts again; a source whose
    // start may launch its program links only to a running one here.
    virtual void restart() { start(); }
    // No more readings. The link may stay until the source is started again or closed.
    virtual void stop() = 0;
    // Lets go of the link: the window is closing.
    virtual void close() = 0;

    virtual bool linksLater() const { return false; }
    // After a loss the source keeps listening and tells linked when readings come again; the
    // selector does not restart it.
    virtual bool recoversByItself() const { return false; }
    // Where the source links, for the user ("127.0.0.1:4532"); empty for a program on this
    // computer reached by name.
    virtual std::string place() const { return {}; }

    // A polled source works on each tick of the poll timer while it runs.
    virtual bool polled() const { return false; }
    virtual void poll() {}

protected:
    void deliver(const Reading& r) const { call(handlers_.reading, r); }
    void reportLinked() const { call(handlers_.linked); }
    void reportLost(const std::string& reason) const { call(handlers_.lost, reason); }
    void reportAppeared() const { call(handlers_.appeared); }
    void tell(const std::string& text) const { call(handlers_.notice, text); }

private:
    template <class F, class... A> static void call(const F& f, const A&... a) {
        if (f)
            f(a...);
    }

    Handlers handlers_;
};

} // namespace veltaro
