// Responsibilities: tells the user about a failure that keeps happening, once per distinct
// cause: the same cause again stays quiet until a success clears it. The notice is posted, not
// waited for, so that the step that failed (a relay during start-up, say) and the readings after
// it go on meanwhile.
// Collaborations: the relay session meets a failing output and a failing settings write with
// one each; the notices go to its NoticeSink.
#pragma once

#include "base/notice.h"

#include <string>
#include <utility>

namespace veltaro {

class FailureNotice {
public:
    explicit FailureNotice(NoticeSink notices) : notices_(std::move(notices)) {}

    void report(const std::string& text) {
        if (text == shown_)
            return;
        shown_ = text;
        notices_({text, NoticeTiming::Posted});
    }
    void clear() { shown_.clear(); }

private:
    NoticeSink notices_;
    std::string shown_;
};

} // namespace veltaro
