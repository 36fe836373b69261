// Responsibilities: modal message boxes with an OK button.
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
};

} // namespace veltaro
