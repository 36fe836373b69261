// The frequency file PEGASUS.OUT in the program's folder: one line, the MHz text and CR LF,
// rewritten on every relay and never read.
#pragma once

#include "platform/file_system.h"

#include <string>

namespace veltaro {

class FrequencyFile {
public:
    static constexpr const char* FileName = "PEGASUS.OUT";

    explicit FrequencyFile(IFileSystem& fs) : fs_(fs) {}
    // Replaces the file's content with the text and CR LF. Raises FileError.
    void write(const std::string& mhzText);

private:
    IFileSystem& fs_;
};

} // namespace veltaro
