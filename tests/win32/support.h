// Helpers of the Windows tests: starting the stand-ins, pumping messages while waiting, and a
// main form of fakes around the real parts under test.
#pragma once

#include "core/fakes.h"
#include "shell/frm_main.h"

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

// A main form from the real parts given and fakes for the rest.
struct Form {
    veltaro::fake::SettingsStore settings;
    veltaro::fake::FileSystem files;
    veltaro::fake::WindowHost window;
    veltaro::fake::Dialogs dialogs;
    veltaro::fake::System system;
    veltaro::fake::Help help;
    veltaro::fake::SerialPort serial;
    veltaro::fake::LinkClient link;
    veltaro::fake::Automation automation;
    std::unique_ptr<veltaro::frmMain> main;

    veltaro::frmMain& build(veltaro::ISerialPort* s = nullptr, veltaro::ILinkClient* l = nullptr,
                            veltaro::IAutomationClient* a = nullptr,
                            veltaro::IWindowHost* host = nullptr) {
        main = std::make_unique<veltaro::frmMain>(veltaro::MainPlatform{
            s ? *s : serial, settings, files, l ? *l : link, a ? *a : automation,
            host ? *host : window, dialogs, system, help, veltaro::NumberFormat{'.'}});
        return *main;
    }
};

} // namespace wintest
