// Responsibilities: the file operations of the program on Linux: the program's folder, and
// whole-file replacement through a temporary file renamed over the old one.
// Collaborations: IFileSystem for relay/frequency_file; QCoreApplication, QSaveFile.
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
};

} // namespace veltaro::qt
