// Responsibilities: starting another program, and showing the help file in the platform's
// viewer.
// Collaborations: about/ starts the system-information tool and runs Help > Index through it.
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

class IHelp {
public:
    virtual ~IHelp() = default;
    // Hands the help file to the viewer with the command (3: contents); does not wait. Linux
    // shows the program's own manual instead, and raises Error when it has none to show.
    virtual void showHelp(int command, const std::string& file) = 0;
};

} // namespace veltaro
