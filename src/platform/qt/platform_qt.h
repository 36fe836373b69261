// Responsibilities: the small Qt services of the Linux front end: message boxes, starting a
// program, opening the program's manual in the desktop's browser, the time-slice yield, the user's
// decimal separator, and finding the desktop's system-information tool.
// Collaborations: main.cpp builds them and hands them to the core; QtSystemInfoLocator reads
// the administrator's choice through ISettingsStore and searches $PATH.
#pragma once

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/settings_store.h"
#include "platform/system.h"
#include "platform/system_info.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class QWidget;

namespace veltaro::qt {

// Modal message box with an OK button only and no icon.
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

// Starts a program detached; raises Error when nothing can be started at the path.
class QtLauncher : public ILauncher {
public:
    void startProgram(const std::string& path) override;
};

// Opens the program's own manual in the desktop's browser: manual.html beside the program (a
// build folder), else the installed one (share/doc/veltaro/manual.html beside bin/). The
// Windows help file named by the caller is not used. Raises Error when no manual is found or
// the desktop has nothing that opens it.
class QtHelp : public IHelp {
public:
    // programFolder: where the manual is looked for from; empty means the running program's.
    explicit QtHelp(std::string programFolder = {}) : programFolder_(std::move(programFolder)) {}
    void showHelp(int command, const std::string& file) override;

    static constexpr const char* ManualName = "manual.html";

private:
    std::string programFolder_;
};

class QtSystem : public ISystem {
public:
    void Sleep(std::uint32_t milliseconds) override;
};

// The decimal separator of the user's locale ('.' when it is not a single ASCII character).
NumberFormat numberFormatFromLocale();

// Finds the system-information tool: the setting SystemInfo/Path of the application Veltaro
// when it is not empty (as it is, unchecked), else the first folder of $PATH that holds one of
// kinfocenter, gnome-system-monitor and hardinfo (preferred in that order) as an executable
// ordinary file, else nothing.
class QtSystemInfoLocator : public ISystemInfoLocator {
public:
    explicit QtSystemInfoLocator(ISettingsStore& settings) : settings_(settings) {}
    std::optional<std::string> find() override;

private:
    ISettingsStore& settings_;
};

} // namespace veltaro::qt
