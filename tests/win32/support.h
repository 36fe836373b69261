// Helpers of the Windows tests: starting the stand-ins, pumping messages while waiting, and
// small recording fakes for the parts that a test does not exercise.
#pragma once

#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/serial_port.h"
#include "platform/system.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

// Starts the DDE stand-in with the arguments and waits until its services are registered.
class DdeStandIn {
public:
    explicit DdeStandIn(const std::string& args);
    bool ready() const { return ready_; }

private:
    bool ready_ = false;
    std::unique_ptr<Process> proc_;
};

struct RecordingDialogs : veltaro::IDialogs {
    std::vector<std::string> texts;
    std::vector<std::string> captions;
    void messageBox(const std::string& text, const std::string& caption) override {
        texts.push_back(text);
        captions.push_back(caption);
    }
};

struct MemoryFiles : veltaro::IFileSystem {
    std::vector<std::pair<std::string, std::string>> writes;
    std::string inProgramFolder(const std::string& f) const override { return "C:\\app\\" + f; }
    void writeFile(const std::string& p, const std::string& b) override {
        writes.emplace_back(p, b);
    }
    bool isOrdinaryFile(const std::string&) const override { return false; }
};

struct NullSystem : veltaro::ISystem {
    int sleeps = 0;
    void Sleep(std::uint32_t) override { ++sleeps; }
};

// A registry value below HKEY_CURRENT_USER read raw: its type and bytes.
struct RawValue {
    bool found = false;
    DWORD type = 0;
    std::string bytes;
};
RawValue readRaw(HKEY root, const std::string& key, const std::string& name);

} // namespace wintest

#include "platform/automation.h"
#include "platform/launcher.h"
#include "platform/link_client.h"
#include "platform/settings_store.h"
#include "platform/window_host.h"
#include "shell/frm_main.h"

#include <map>

namespace wintest {

struct MemorySettings : veltaro::ISettingsStore {
    std::map<std::string, std::string> values;
    int writes = 0;
    std::string readSetting(const std::string&, const std::string&,
                            const std::string& key) override {
        auto it = values.find(key);
        return it == values.end() ? std::string() : it->second;
    }
    void writeSetting(const std::string&, const std::string&, const std::string& key,
                      const std::string& value) override {
        values[key] = value;
        ++writes;
    }
};

struct FakeWindow : veltaro::IWindowHost {
    double l = 1200, t = 900, w = 2235, h = 1455;
    double left() const override { return l; }
    double top() const override { return t; }
    double width() const override { return w; }
    double height() const override { return h; }
    void setLeft(double v) override { l = v; }
    void setTop(double v) override { t = v; }
    void setHeight(double v) override { h = v; }
    double twipsPerPixelX() const override { return 15; }
    double twipsPerPixelY() const override { return 15; }
    void setWindowPos(bool, int, int, int, int) override {}
    void close() override {}
    void showAbout() override {}
};

struct NullHelp : veltaro::IHelp {
    void showHelp(int, const std::string&) override {}
};

struct ClosedPort : veltaro::ISerialPort {
    std::int16_t n = 1;
    std::int16_t commPort() const override { return n; }
    void setCommPort(std::int16_t v) override { n = v; }
    bool portOpen() const override { return false; }
    void setPortOpen(bool) override {}
    void setSettings(const std::string&) override {}
    void output(const std::string&) override {}
};

struct NoLink : veltaro::ILinkClient {
    void setLinkTopic(const std::string&) override {}
    void setLinkItem(const std::string&) override {}
    void setLinkMode(std::int16_t) override {}
    void setDeliveryHandler(Delivery) override {}
};

struct NoAutomation : veltaro::IAutomationClient {
    std::unique_ptr<veltaro::ITrxServer> createTrxServer() override { return nullptr; }
};

// A main window built from the given real parts and fakes for the rest.
struct Form {
    MemorySettings settings;
    MemoryFiles files;
    FakeWindow window;
    RecordingDialogs dialogs;
    NullSystem system;
    NullHelp help;
    ClosedPort closedPort;
    NoLink noLink;
    NoAutomation noAutomation;
    std::unique_ptr<veltaro::frmMain> main;

    void build(veltaro::ISerialPort* serial, veltaro::ILinkClient* link,
               veltaro::IAutomationClient* automation) {
        main = std::make_unique<veltaro::frmMain>(
            veltaro::MainPlatform{serial ? *serial : closedPort, settings, files,
                                  link ? *link : noLink, automation ? *automation : noAutomation,
                                  window, dialogs, system, help, veltaro::NumberFormat{'.'}});
    }
};

} // namespace wintest
