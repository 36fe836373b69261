// Responsibilities: runs Veltaro without a window on Linux (veltaro --headless): a
// QCoreApplication, so no display is needed, the Linux adapters, the poll and reopen timers,
// and SIGTERM/SIGINT as a clean stop. Every decision and every line it writes come from
// shell/headless.
// Collaborations: main.cpp calls runHeadless() when the command line asks for it, before any
// other Qt application object exists.
#pragma once

namespace veltaro::qt {

// Runs until SIGTERM or SIGINT; returns the exit code.
int runHeadless(int& argc, char** argv);

} // namespace veltaro::qt
