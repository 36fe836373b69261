#include "relay/frequency_file.h"

#include "base/identity.h"

namespace veltaro {

void FrequencyFile::choosePlace() {
    if (chosenPath_)
        path_ = chosenPath_();
    if (!path_.empty())
        return;
    path_ = fs_.inProgramFolder(FileName);
    if (fs_.canWriteBeside(path_))
        return;
    path_ = fs_.inUserStateFolder(app::Title, FileName);
    folderNeeded_ = true;
}

void FrequencyFile::write(const std::string& mhzText) {
    if (path_.empty())
        choosePlace();
    if (folderNeeded_) {
        fs_.makeFolderFor(path_);
        folderNeeded_ = false;
        notices_({std::string(FileName) +
                      " cannot be written in the program's folder. It is written to " + path_ + ".",
                  NoticeTiming::Posted});
    }
    fs_.writeFile(path_, mhzText + "\r\n");
}

} // namespace veltaro
