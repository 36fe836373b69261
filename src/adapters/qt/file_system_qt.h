// Responsibilities: the file operations of the program on Linux: the program's folder, the
// user's state folder ($XDG_STATE_HOME), trying whether a folder takes new files, creating
// folders, and whole-file replacement through a temporary file renamed over the old one.
// Collaborations: IFileSystem for relay/frequency_file; QCoreApplication, QSaveFile,
// QTemporaryFile.
#pragma once

#include "ports/file_system.h"

#include <string>

namespace veltaro::qt {

class QtFileSystem : public veltaro::IFileSystem {
public:
    QtFileSystem() = default;

    std::string inProgramFolder(const std::string& fileName) const override;
    // $XDG_STATE_HOME/<app>/<file>; ~/.local/state when XDG_STATE_HOME is unset, empty or not
    // an absolute path.
    std::string inUserStateFolder(const std::string& app,
                                  const std::string& fileName) const override;
    // Creates (and removes) a hidden temporary file in the folder.
    bool canWriteBeside(const std::string& path) const override;
    // Raises FileError ("<folder>: <reason>").
    void makeFolderFor(const std::string& path) override;
    // Raises FileError ("<name>: <reason>") and leaves the old content when it cannot write.
    void writeFile(const std::string& path, const std::string& bytes) override;
};

} // namespace veltaro::qt
