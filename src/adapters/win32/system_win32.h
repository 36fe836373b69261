// Responsibilities: the small Windows services: PEGASUS.OUT's places and its writing
// (Win32FileSystem), message boxes (Win32Dialogs), starting a program (Win32Launcher), WinHelp
// (Win32Help), Sleep (Win32System) and the user's decimal separator (numberFormatFromLocale).
// Collaborations: the front end creates them and hands them to the core.
#pragma once

#include "view/dialogs.h"
#include "ports/file_system.h"
#include "ports/launcher.h"
#include "platform/system.h"

#include <deque>
#include <string>
#include <utility>

namespace veltaro::win32 {

class Win32FileSystem : public IFileSystem {
public:
    // folder: where inProgramFolder puts files; empty means the folder of the running exe.
    explicit Win32FileSystem(std::string folder = {});
    std::string inProgramFolder(const std::string& fileName) const override;
    // %LOCALAPPDATA%\<app>\<file>.
    std::string inUserStateFolder(const std::string& app,
                                  const std::string& fileName) const override;
    // Creates (and deletes) a temporary file in the folder.
    bool canWriteBeside(const std::string& path) const override;
    void makeFolderFor(const std::string& path) override;
    // Writes a sibling file and renames it over the target; when another program holds the
    // target open so that it cannot be replaced, rewrites it in place instead.
    void writeFile(const std::string& path, const std::string& bytes) override;

    static std::string exeFolder();

private:
    std::string folder_;
};

// Posted boxes wait in a queue for a private message to a message-only window of the object;
// they open one after the other, each in MessageBox's own loop, which goes on dispatching the
// thread's timers and links. Boxes still queued when the object goes are dropped.
class Win32Dialogs : public IDialogs {
public:
    Win32Dialogs() = default;
    ~Win32Dialogs() override;
    Win32Dialogs(const Win32Dialogs&) = delete;
    Win32Dialogs& operator=(const Win32Dialogs&) = delete;

    void setOwner(void* hwnd) { owner_ = hwnd; }
    void messageBox(const std::string& text, const std::string& caption) override;
    void postMessage(const std::string& text, const std::string& caption) override;
    // Shows the queued boxes now, one after the other (for notices raised as the program ends).
    void showPosted();

private:
    void* owner_ = nullptr;
    void* poster_ = nullptr; // the message-only window, created by the first postMessage
    std::deque<std::pair<std::string, std::string>> posted_;
    bool showing_ = false;
};

class Win32Launcher : public ILauncher {
public:
    void startProgram(const std::string& path) override;
};

class Win32Help : public IHelp {
public:
    void setOwner(void* hwnd) { owner_ = hwnd; }
    void showHelp(int command, const std::string& file) override;

private:
    void* owner_ = nullptr;
};

class Win32System : public ISystem {
public:
    void Sleep(std::uint32_t milliseconds) override;
};

// The decimal separator of the user's regional settings.
NumberFormat numberFormatFromLocale();

} // namespace veltaro::win32
