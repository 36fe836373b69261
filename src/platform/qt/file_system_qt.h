// Responsibilities: the file operations of the program on Linux: the program's folder, whole-file
// replacement through a temporary file renamed over the old one, and the ordinary-file test.
// Collaborations: IFileSystem for relay/frequency_file and about/; QCoreApplication, QSaveFile.
#pragma once

#include "platform/file_system.h"

#include <string>

namespace veltaro::qt {

class QtFileSystem : public veltaro::IFileSystem {
public:
    QtFileSystem() = default;

    std::string inProgramFolder(const std::string& fileName) const override;
    // Raises FileError ("<name>: <reason>") and leaves the old content when it cannot write.
    void writeFile(const std::string& path, const std::string& bytes) override;
    // A regular file (or a link to one) whose name does not start with a dot.
    bool isOrdinaryFile(const std::string& path) const override;
};

} // namespace veltaro::qt
