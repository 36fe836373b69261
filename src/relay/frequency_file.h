// The frequency file PEGASUS.OUT in the program's folder: one line, the MHz text and CR LF.
#pragma once

#include "platform/file_system.h"

#include <string>

namespace veltaro {

class FrequencyFile {
public:
    explicit FrequencyFile(IFileSystem& fs) : fs_(fs) {}
    // Replaces the file's content with the text and CR LF. Raises FileError.
    void UpdatePegasus(const std::string& FreqMHzText);

private:
    IFileSystem& fs_;
};

} // namespace veltaro
