// Tells the user about a failure that keeps happening, once per distinct cause: the same cause
// again stays quiet until a success clears it. The box is posted, not waited for, so that the
// step that failed (a relay during start-up, say) and the readings after it go on meanwhile.
#pragma once

#include "platform/dialogs.h"

#include <string>

namespace veltaro {

class FailureNotice {
public:
    FailureNotice(IDialogs& dialogs, std::string caption)
        : dialogs_(dialogs), caption_(std::move(caption)) {}

    void report(const std::string& text) {
        if (text == shown_)
            return;
        shown_ = text;
        dialogs_.postMessage(text, caption_);
    }
    void clear() { shown_.clear(); }

private:
    IDialogs& dialogs_;
    std::string caption_;
    std::string shown_;
};

} // namespace veltaro
