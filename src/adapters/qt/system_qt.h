// Responsibilities: the small Qt services of Linux: starting a program, opening the program's
// manual in the desktop's browser, the user's decimal separator, and finding the desktop's
// system-information tool.
// Collaborations: the front end's main() builds them and hands them to the core;
// QtSystemInfoLocator reads the administrator's choice through ISettingsStore and searches $PATH.
#pragma once

#include "base/numbers.h"
#include "ports/launcher.h"
#include "ports/settings_store.h"
#include "ports/system_info.h"

#include <optional>
#include <string>
#include <utility>

namespace veltaro::qt {

// Starts a program detached; raises Error when nothing can be started at the path.
class QtLauncher : public ILauncher {
public:
    void startProgram(const std::string& path) override;
};

// Opens the program's own manual in the desktop's browser: manual.html beside the program (a
// build folder), else the installed one (share/doc/veltaro/manual.html beside bin/). Raises
// Error when no manual is found or the desktop has nothing that opens it.
class QtManual : public IManual {
public:
    // programFolder: where the manual is looked for from; empty means the running program's.
    explicit QtManual(std::string programFolder = {}) : programFolder_(std::move(programFolder)) {}
    void open() override;

    static constexpr const char* ManualName = "manual.html";

private:
    std::string programFolder_;
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
