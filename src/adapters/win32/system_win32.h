// Responsibilities: the small Windows services: PEGASUS.OUT's places and its writing
// (Win32FileSystem), starting a program (Win32Launcher), the help file (Win32Manual) and the
// user's decimal separator (numberFormatFromLocale).
// Collaborations: the front end creates them and hands them to the core.
#pragma once

#include "base/numbers.h"
#include "ports/file_system.h"
#include "ports/launcher.h"

#include <string>

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

class Win32Launcher : public ILauncher {
public:
    void startProgram(const std::string& path) override;
};

// The program's help file, shown at its contents by the help viewer, which reports a missing
// file itself.
class Win32Manual : public IManual {
public:
    void setOwner(void* hwnd) { owner_ = hwnd; }
    void open() override;

private:
    void* owner_ = nullptr;
};

// The decimal separator of the user's regional settings.
NumberFormat numberFormatFromLocale();

} // namespace veltaro::win32
