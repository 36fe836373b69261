// Responsibilities: the About box's logic: its controls (one per entry of its description),
// the title and version it shows once loaded, OK, and System Info, which starts the platform's
// system-information tool or says that none is available.
// Collaborations: the front end builds the box from layout::aboutBox(), mirrors controls() and
// title(), and forwards the buttons' commands; ISystemInfoLocator finds the tool, ILauncher
// starts it.
#pragma once

#include "ports/launcher.h"
#include "ports/system_info.h"
#include "view/control.h"
#include "view/dialogs.h"
#include "view/window_layout.h"

#include <functional>
#include <string>

namespace veltaro {

struct AboutPlatform {
    ISystemInfoLocator& locator;
    ILauncher& launcher;
    IDialogs& dialogs;
};

class AboutBox {
public:
    static constexpr const char* UnavailableText = "System Information Is Unavailable At This Time";

    // close ends the box's window; the front end drops this instance afterwards.
    AboutBox(AboutPlatform p, std::function<void()> close);
    AboutBox(const AboutBox&) = delete;
    AboutBox& operator=(const AboutBox&) = delete;

    const layout::WindowSpec& layout() const { return layout::aboutBox(); }
    ControlSet& controls() { return controls_; }
    Control& control(std::string_view name) { return controls_[name]; }
    // The title bar's text, and its change.
    const std::string& title() const { return title_; }
    Signal& titleChanged() { return titleChanged_; }

    // Fills in the title bar, the title and the version.
    void load();
    // OK closes the box; System Info starts the tool.
    void run(layout::Command command);
    void startSystemInfo();

private:
    AboutPlatform p_;
    std::function<void()> close_;
    ControlSet controls_;
    std::string title_ = "About MyApp";
    Signal titleChanged_;
};

} // namespace veltaro
