// Responsibilities: the frequency file's possible places and its writing: the folder that holds
// the program, the user's own state folder, whether a folder takes new files, creating folders,
// and replacing a small text file as a whole.
// Collaborations: relay/frequency_file chooses the place of PEGASUS.OUT and writes it through
// it; adapters/qt and adapters/win32 implement it; tests use a fake.
#pragma once

#include <string>

namespace veltaro {

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Full path of a file in the folder that holds the running program.
    virtual std::string inProgramFolder(const std::string& fileName) const = 0;

    // Full path of a file in the application's folder of the user's state files:
    // $XDG_STATE_HOME/<app> (by default ~/.local/state/<app>) on Linux,
    // %LOCALAPPDATA%\<app> on Windows. The folder may not exist yet.
    virtual std::string inUserStateFolder(const std::string& app,
                                          const std::string& fileName) const = 0;

    // Whether the user can create a file in the folder that holds the file at path: tried, not
    // guessed from the permissions. False when the folder does not exist.
    virtual bool canWriteBeside(const std::string& path) const = 0;

    // Creates the folder that holds the file at path, with any missing parents. Raises
    // FileError when it cannot.
    virtual void makeFolderFor(const std::string& path) = 0;

    // Replaces the whole content of the file with the bytes given, so that a reader sees either
    // the old or the new content. Raises FileError when it cannot be written.
    virtual void writeFile(const std::string& path, const std::string& bytes) = 0;
};

} // namespace veltaro
