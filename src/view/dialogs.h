// Responsibilities: message boxes with an OK button: shown at once and waited for, or posted to
// show once the running handler has returned.
// Collaborations: used by the handlers that tell the user something; the front ends implement
// it, tests record the texts.
#pragma once

#include <string>

namespace veltaro {

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // Shows the text with an OK button and the caption; returns when it is dismissed.
    virtual void messageBox(const std::string& text, const std::string& caption) = 0;
    // Shows the same box once the running handler has returned, and returns at once. Timers,
    // links and the serial line go on being served while the box is open.
    virtual void postMessage(const std::string& text, const std::string& caption) = 0;
};

} // namespace veltaro
