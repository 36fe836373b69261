// Responsibilities: starting another program, and opening the program's manual in the
// platform's viewer.
// Collaborations: the About box starts the system-information tool through ILauncher; the main
// window's Help > Index opens IManual; adapters/qt and adapters/win32 implement them.
#pragma once

#include <string>

namespace veltaro {

class ILauncher {
public:
    virtual ~ILauncher() = default;
    // Starts the program at the path in a normal window with the focus and returns at once.
    // Raises Error when the path names nothing that can be started.
    virtual void startProgram(const std::string& path) = 0;
};

class IManual {
public:
    virtual ~IManual() = default;
    // Shows the manual's contents in the platform's viewer; does not wait. Raises Error, with
    // the text for the user, when there is no manual to show.
    virtual void open() = 0;
};

} // namespace veltaro
