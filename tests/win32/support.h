// Helpers of the Windows tests: starting the stand-ins and pumping messages while waiting.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace wintest {

// Folder of the running test program (the stand-ins are built beside it).
std::string binDir();

// A started process, killed when the object goes.
class Process {
public:
    explicit Process(const std::string& commandLine);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    // Exit code, or -1 when it has not ended within the time.
    long wait(unsigned long ms);

private:
    PROCESS_INFORMATION pi_{};
};

// Runs a command line to its end (bounded); returns its exit code, -1 on time-out.
long run(const std::string& commandLine, unsigned long ms = 20000);

// Dispatches window messages until cond() holds or the time is up; returns cond().
bool pumpUntil(const std::function<bool()>& cond, unsigned long ms);

// Starts the DDE stand-in with the arguments and waits until its services are registered; it is
// killed when the object goes.
class DdeStandIn {
public:
    explicit DdeStandIn(const std::string& args);
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
    std::unique_ptr<Process> proc_;
};

} // namespace wintest
