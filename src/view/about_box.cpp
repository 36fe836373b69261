#include "view/about_box.h"

#include "base/errors.h"
#include "base/identity.h"

#include <utility>

namespace veltaro {

AboutBox::AboutBox(AboutPlatform p, std::function<void()> close)
    : p_(p), close_(std::move(close)), controls_(layout::aboutBox()) {}

void AboutBox::load() {
    title_ = std::string("About ") + app::Title;
    titleChanged_.notify();
    control("versionLabel")
        .setText("Version " + std::to_string(app::Major) + "." + std::to_string(app::Minor) + "." +
                 std::to_string(app::Revision));
    control("titleLabel").setText(app::Title);
}

void AboutBox::run(layout::Command command) {
    if (command == layout::Command::Ok && close_)
        close_();
    else if (command == layout::Command::SystemInfo)
        startSystemInfo();
}

void AboutBox::startSystemInfo() {
    try {
        if (auto path = p_.locator.find()) {
            p_.launcher.startProgram(*path);
            return;
        }
    } catch (const Error&) {
    }
    p_.dialogs.messageBox(UnavailableText, app::Title);
}

} // namespace veltaro
