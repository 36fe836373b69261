// Responsibilities: message boxes with an OK button only and no icon, shown at once or posted
// to the event loop.
// Collaborations: the main window's model and the About and address dialogs show their
// messages through it; main() ends it when the program is asked to stop.
#pragma once

#include "view/dialogs.h"

class QWidget;

namespace veltaro::qt {

class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void messageBox(const std::string& text, const std::string& caption) override;
    // Queued to the event loop; the box then runs its own loop, which serves everything else.
    void postMessage(const std::string& text, const std::string& caption) override;
    // The program is ending: boxes posted and not yet shown are dropped.
    void end() { ending_ = true; }

private:
    QWidget* parent_;
    bool ending_ = false;
};

} // namespace veltaro::qt
