// Responsibilities: the small Qt services of the Linux front end: message boxes, starting a
// program, handing the help file to the desktop's viewer, the time-slice yield, the user's
// decimal separator, and the stand-in for the two registry values that locate the
// system-information tool.
// Collaborations: main.cpp builds them and hands them to frmMain (MainPlatform) and frmAbout
// (AboutPlatform); QtRegistry reads the administrator's choice through ISettingsStore and
// searches $PATH for a desktop system-information tool.
#pragma once

#include "platform/dialogs.h"
#include "platform/launcher.h"
#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/system.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>
#include <vector>

class QWidget;

namespace veltaro::qt {

// Modal message box with an OK button only and no icon.
class QtDialogs : public IDialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void messageBox(const std::string& text, const std::string& caption) override;
    // Queued to the event loop; the box then runs its own loop, which serves everything else.
    void postMessage(const std::string& text, const std::string& caption) override;

private:
    QWidget* parent_;
};

// Starts a program detached; raises Error when nothing can be started at the path.
class QtLauncher : public ILauncher {
public:
    void startProgram(const std::string& path) override;
};

// Hands the help file, whatever its path holds, to the desktop's default viewer.
class QtHelp : public IHelp {
public:
    void showHelp(int command, const std::string& file) override;
};

class QtSystem : public ISystem {
public:
    void Sleep(std::uint32_t milliseconds) override;
};

// The decimal separator of the user's locale ('.' when it is not a single ASCII character).
NumberFormat numberFormatFromLocale();

// Linux stand-in for the two registry values read by the System Info button:
//  - "SOFTWARE\Microsoft\Shared Tools\MSINFO", value "PATH": the setting SystemInfo/Path of
//    the application Veltaro (a full path to a tool), when it is not empty;
//  - "SOFTWARE\Microsoft\Shared Tools Location", value "MSINFO": the first folder of $PATH that
//    holds one of the tools in SystemInfoTools; systemInfoFile(folder) names that tool.
// Both keys always open; a value that has nothing to answer with is not found (status 2).
class QtRegistry : public IRegistry {
public:
    static constexpr long Success = 0;
    static constexpr long FileNotFound = 2;
    static constexpr long InvalidHandle = 6;
    static constexpr long MoreData = 234;

    static constexpr Key ToolKey = 1;
    static constexpr Key LocationKey = 2;

    explicit QtRegistry(ISettingsStore& settings) : settings_(settings) {}

    long openKey(std::uint32_t root, const std::string& path, std::uint32_t access,
                 Key& key) override;
    long queryValue(Key key, const std::string& name, std::uint32_t& type,
                    std::vector<unsigned char>& buffer, std::uint32_t& length) override;
    void closeKey(Key key) override;
    std::string systemInfoFile(const std::string& folder) const override;

    // Preferred first, within each folder of $PATH.
    static QStringList SystemInfoTools();

private:
    QString toolPath() const;
    QString toolFolder() const;

    ISettingsStore& settings_;
};

} // namespace veltaro::qt
