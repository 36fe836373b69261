#include "relay/frequency_file.h"

namespace veltaro {

void FrequencyFile::write(const std::string& mhzText) {
    fs_.writeFile(fs_.inProgramFolder(FileName), mhzText + "\r\n");
}

} // namespace veltaro
