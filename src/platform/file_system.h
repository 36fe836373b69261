// Responsibilities: the few file operations the program needs: the program's own folder, writing
// a small text file there, and the ordinary-file test used to find the system-information tool.
// Collaborations: relay/frequency_file writes PEGASUS.OUT through it; about/ tests tool paths.
#pragma once

#include <string>

namespace veltaro {

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // Full path of a file in the folder that holds the running program.
    virtual std::string inProgramFolder(const std::string& fileName) const = 0;

    // Replaces the whole content of the file with the bytes given, so that a reader sees either
    // the old or the new content. Raises FileError when it cannot be written.
    virtual void writeFile(const std::string& path, const std::string& bytes) = 0;

    // True when an ordinary file (not hidden, not a system file) is at the path.
    virtual bool isOrdinaryFile(const std::string& path) const = 0;
};

} // namespace veltaro
