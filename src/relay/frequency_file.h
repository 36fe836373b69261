// The frequency file PEGASUS.OUT: one line, the MHz text and CR LF, rewritten on every relay and
// never read. Its place is chosen at the first write and kept for the run: the path the user
// named in the settings, when there is one, and no other; else the program's folder, when the
// user can create files there (a portable copy); else the user's state folder, created when
// missing, which the user is told once.
// Collaborations: the relay session writes it after each relay's command; IFileSystem places
// and writes it; what the user is told goes to the NoticeSink.
#pragma once

#include "base/notice.h"
#include "ports/file_system.h"

#include <functional>
#include <string>

namespace veltaro {

class FrequencyFile {
public:
    static constexpr const char* FileName = "PEGASUS.OUT";

    // chosenPath gives the path the user named, empty for the automatic place; it is asked at
    // the first write.
    FrequencyFile(IFileSystem& fs, NoticeSink notices, std::function<std::string()> chosenPath = {})
        : fs_(fs), notices_(std::move(notices)), chosenPath_(std::move(chosenPath)) {}

    // Replaces the file's content with the text and CR LF. Raises FileError, also when the state
    // folder cannot be created (tried again at the next write).
    void write(const std::string& mhzText);

    // Where the file goes: empty until the first write.
    const std::string& path() const { return path_; }

private:
    void choosePlace();

    IFileSystem& fs_;
    NoticeSink notices_;
    std::function<std::string()> chosenPath_;
    std::string path_;
    bool folderNeeded_ = false;
};

} // namespace veltaro
