// Responsibilities: runs Veltaro without a window on Linux (veltaro --headless): a
// QCoreApplication, so no display is needed, the Linux adapters, the relay session with its
// headless report, and SIGTERM/SIGINT as a clean stop. No window model is made.
// Collaborations: main.cpp calls runHeadless() when the command line asks for it, before any
// other Qt application object exists.
#pragma once

namespace veltaro::qt {

// Runs until SIGTERM or SIGINT; returns the exit code.
int runHeadless(int& argc, char** argv);

} // namespace veltaro::qt
