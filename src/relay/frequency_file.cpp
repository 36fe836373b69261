#include "relay/frequency_file.h"

namespace veltaro {

void FrequencyFile::UpdatePegasus(const std::string& FreqMHzText) {
    fs_.writeFile(fs_.inProgramFolder("PEGASUS.OUT"), FreqMHzText + "\r\n");
}

} // namespace veltaro
