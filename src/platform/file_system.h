// Responsibilities: the frequency file's place and its writing: the folder that holds the
// program, and replacing a small text file there as a whole.
// Collaborations: relay/frequency_file writes PEGASUS.OUT through it; platform/qt and
// platform/win32 implement it; tests use a fake.
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
};

} // namespace veltaro
