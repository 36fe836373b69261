// Fakes of the platform parts, recording what the core asks of them.
#pragma once

#include "base/errors.h"
#include "ports/automation.h"
#include "ports/file_system.h"
#include "ports/launcher.h"
#include "ports/link_client.h"
#include "ports/modem_line.h"
#include "ports/serial_line.h"
#include "ports/settings_store.h"
#include "ports/system_info.h"
#include "ports/timers.h"
#include "view/dialogs.h"
#include "view/window_host.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace veltaro::fake {

// A journal shared by the fakes, so tests can check the order of calls across parts.
struct Journal {
    std::vector<std::string> entries;
    void add(std::string e) { entries.push_back(std::move(e)); }
};

// Ports whose numbers are in existing open; others fail as missing.
class SerialLine : public ISerialLine {
public:
    explicit SerialLine(Journal* j = nullptr) : journal(j) {}
    void open(int n, int rate) override {
        close();
        baud = rate;
        const std::string port = "COM" + std::to_string(n);
        if (!existing.count(n)) {
            log("open failed " + port);
            throw PortError("Port not available");
        }
        opened = n;
        log("open " + port);
    }
    void close() override {
        if (opened) {
            opened = 0;
            log("close");
        }
    }
    bool isOpen() const override { return opened != 0; }
    void send(const std::string& bytes) override {
        if (!opened)
            throw PortError("Port is closed");
        if (failWrites)
            throw PortError("Write failed");
        if (!existing.count(opened)) { // the device went away: the write closes the line
            opened = 0;
            throw PortError("Device gone");
        }
        sent.push_back(bytes);
        log("send " + bytes);
    }
    std::vector<PresentPort> presentPorts() override { return present; }
    std::map<int, std::string> rememberedPorts() override { return remembered; }
    void remember(int number, const std::string& device) override { remembered[number] = device; }
    void setLostHandler(std::function<void()> onLost) override { lostHandler = std::move(onLost); }
    void setReceiveHandler(std::function<void(std::string_view)> onBytes) override {
        receiveHandler = std::move(onBytes);
    }
    // The controller sends bytes.
    void receive(std::string_view bytes) const {
        if (receiveHandler)
            receiveHandler(bytes);
    }
    std::function<void(std::string_view)> receiveHandler;
    int baud = 0;
    // The open device goes away: the line closes itself and, from the event loop, tells.
    void vanish() {
        existing.erase(opened);
        opened = 0;
        if (lostHandler)
            lostHandler();
    }

    std::set<int> existing{1};
    int opened = 0; // the port number open, 0 while closed
    bool failWrites = false;
    std::vector<std::string> sent;
    std::vector<PresentPort> present;
    std::map<int, std::string> remembered;
    std::function<void()> lostHandler;
    Journal* journal;

private:
    void log(const std::string& e) {
        if (journal)
            journal->add("serial " + e);
    }
};

// A modem line that records its calls ("open 7", "set RTS 1", "close") and the level each line
// was last driven to; open or set fail while told to.
class ModemLine : public IModemLine {
public:
    void open(int number) override {
        close();
        if (failOpen)
            throw PortError("No such file or directory");
        opened = number;
        calls.push_back("open " + std::to_string(number));
    }
    void set(Line line, bool asserted) override {
        const std::string name = line == Line::Rts ? "RTS" : "DTR";
        if (!opened || failSet)
            throw PortError("Inappropriate ioctl for device");
        levels[name] = asserted;
        calls.push_back("set " + name + (asserted ? " 1" : " 0"));
    }
    void close() override {
        if (opened)
            calls.push_back("close");
        opened = 0;
    }
    bool isOpen() const override { return opened != 0; }

    int opened = 0;
    bool failOpen = false, failSet = false;
    std::vector<std::string> calls;
    std::map<std::string, bool> levels; // "RTS" or "DTR": asserted
};

class FileSystem : public IFileSystem {
public:
    explicit FileSystem(Journal* j = nullptr) : journal(j) {}
    std::string inProgramFolder(const std::string& name) const override { return "/prog/" + name; }
    std::string inUserStateFolder(const std::string& app, const std::string& name) const override {
        return "/state/" + app + "/" + name;
    }
    bool canWriteBeside(const std::string& path) const override {
        return !readOnly.count(path.substr(0, path.rfind('/')));
    }
    void makeFolderFor(const std::string& path) override {
        if (!folderFailure.empty())
            throw FileError(folderFailure);
        folders.insert(path.substr(0, path.rfind('/')));
    }
    void writeFile(const std::string& path, const std::string& bytes) override {
        if (!failure.empty())
            throw FileError(failure);
        files[path] = bytes;
        ++writes;
        if (journal)
            journal->add("file " + path + " " + bytes.substr(0, bytes.find('\r')));
    }
    std::map<std::string, std::string> files;
    std::set<std::string> readOnly, folders; // folders closed to new files; folders made
    std::string failure, folderFailure;
    int writes = 0;
    Journal* journal;
};

class SettingsStore : public ISettingsStore {
public:
    explicit SettingsStore(Journal* j = nullptr) : journal(j) {}
    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override {
        if (journal)
            journal->add("read " + key);
        auto it = values.find(app + "/" + section + "/" + key);
        return it == values.end() ? std::string() : it->second;
    }
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override {
        if (readOnly)
            throw Error("read-only");
        if (journal)
            journal->add("write " + key + "=" + value);
        values[app + "/" + section + "/" + key] = value;
        writes.push_back(key + "=" + value);
    }
    std::string get(const std::string& key) const {
        auto it = values.find("Veltaro/StartUp/" + key);
        return it == values.end() ? std::string("<missing>") : it->second;
    }
    void set(const std::string& key, const std::string& value) {
        values["Veltaro/StartUp/" + key] = value;
    }
    // How often key was written.
    int writesOf(const std::string& key) const {
        return static_cast<int>(std::count_if(writes.begin(), writes.end(), [&](const auto& w) {
            return w.compare(0, key.size() + 1, key + "=") == 0;
        }));
    }
    std::map<std::string, std::string> values;
    std::vector<std::string> writes;
    bool readOnly = false;
    Journal* journal;
};

// A hot-link client: servers are "service|topic" -> item -> value; a link to a topic without a
// server fails.
class LinkClient : public ILinkClient {
public:
    explicit LinkClient(Journal* j = nullptr) : journal(j) {}
    void connect(const Address& a, Delivery onValue, Loss onLost) override {
        disconnect();
        const std::string topic = a.service + "|" + a.topic;
        if (journal)
            journal->add("link " + topic);
        ++setups;
        auto it = servers.find(topic);
        if (it == servers.end())
            throw LinkError("No server answers");
        linked = topic + "!" + a.item;
        handler = std::move(onValue);
        lost = std::move(onLost);
        deliver(it->second[a.item]);
    }
    void disconnect() override {
        linked.clear();
        handler = nullptr;
        lost = nullptr;
        appeared = nullptr;
    }
    void watch(const Address&, std::function<void()> onAppeared) override {
        appeared = std::move(onAppeared);
    }

    // The server's item changes; an open link delivers it.
    void advise(const std::string& value) {
        if (!linked.empty())
            deliver(value);
    }
    void deliver(const std::string& v) {
        if (handler)
            handler(v);
    }

    std::map<std::string, std::map<std::string, std::string>> servers;
    std::string linked;
    int setups = 0;
    Delivery handler;
    Loss lost;
    std::function<void()> appeared;
    Journal* journal;
};

// TRX-Manager's automation server.
class Automation : public IAutomationClient {
public:
    void connect(Launch launch) override {
        held = false;
        appeared = nullptr;
        ++connects;
        launches.push_back(launch);
        if (!installed || gone || (launch == Launch::RunningOnly && !running))
            throw LinkError("Class not registered");
        held = true;
    }
    void watch(std::function<void()> onAppeared) override { appeared = std::move(onAppeared); }
    double frequencyMHz() override {
        if (!held || gone)
            throw LinkError("server gone");
        return frequency;
    }
    void disconnect() override {
        held = false;
        appeared = nullptr;
    }

    double frequency = 14.074;
    bool installed = true, gone = false, held = false;
    bool running = true; // an instance the user started; RunningOnly takes only that
    int connects = 0;
    std::vector<Launch> launches;
    std::function<void()> appeared;
};

class WindowHost : public IWindowHost {
public:
    double left() const override { return l; }
    double top() const override { return t; }
    double width() const override { return w; }
    double height() const override { return h; }
    void setLeft(double v) override { l = v; }
    void setTop(double v) override { t = v; }
    void setClientHeight(double v) override {
        clientHeight = v;
        h = v + frame;
    }
    bool placed() const override { return isPlaced; }
    double twipsPerPixelX() const override { return fx; }
    double twipsPerPixelY() const override { return fy; }
    void setKeepAbove(bool above, PixelRect r) override {
        positions.push_back({above, r.left, r.top, r.width, r.height});
        topmost = above;
        visible = true;
    }
    void close() override { ++closes; }
    void showAbout() override {}
    // The user's part in the address dialog; without it the dialog is closed at once.
    void showAddressDialog(AddressDialogModel& dialog) override {
        if (inAddressDialog)
            inAddressDialog(dialog);
    }
    std::function<void(AddressDialogModel&)> inAddressDialog;

    struct Pos {
        bool topmost;
        int x, y, cx, cy;
    };
    double l = 1200, t = 900, w = 2235, h = 3000, fx = 15, fy = 15;
    double clientHeight = 0;
    double frame = 690; // what the platform draws above and around the client area
    bool topmost = false, visible = false, isPlaced = true;
    std::vector<Pos> positions;
    int closes = 0;
};

class Dialogs : public IDialogs {
public:
    void messageBox(const std::string& text, const std::string& caption) override {
        (void)caption;
        messages.push_back(text);
        if (whileShowing)
            whileShowing();
    }
    // Posted boxes wait until showPosted(), as they wait for the event loop.
    void postMessage(const std::string& text, const std::string& caption) override {
        posted.push_back({text, caption});
    }
    void showPosted() {
        while (!posted.empty()) {
            auto [text, caption] = posted.front();
            posted.erase(posted.begin());
            messageBox(text, caption);
        }
    }
    std::vector<std::string> messages;
    std::vector<std::pair<std::string, std::string>> posted;
    // Runs while a box is open: handlers that the event loop serves meanwhile.
    std::function<void()> whileShowing;
};

class Manual : public IManual {
public:
    void open() override {
        if (missing)
            throw Error("The manual cannot be found.");
        ++opened;
    }
    int opened = 0;
    bool missing = false;
};

// Timers the test runs by hand: elapse(ms) ticks each running timer as often as its interval
// fits into the time, in time order, as an event loop would.
class Timers : public ITimers {
public:
    class Timer : public ITimer {
    public:
        Timer(Timers& owner, std::function<void()> onTick)
            : owner_(owner), onTick_(std::move(onTick)) {
            owner_.all_.push_back(this);
        }
        ~Timer() override { std::erase(owner_.all_, this); }
        void start(int intervalMs) override {
            interval = intervalMs;
            due = owner_.nowMs() + intervalMs;
            on = true;
        }
        void stop() override { on = false; }
        bool running() const override { return on; }
        void tick() { onTick_(); }

        int interval = 0;
        std::int64_t due = 0;
        bool on = false;

    private:
        Timers& owner_;
        std::function<void()> onTick_;
    };

    std::unique_ptr<ITimer> makeTimer(std::function<void()> onTick) override {
        return std::make_unique<Timer>(*this, std::move(onTick));
    }
    // Moves the time on by ms, ticking the timers that fall due on the way; `clock`, when set,
    // moves with it.
    void elapse(std::int64_t ms) {
        const std::int64_t end = nowMs() + ms;
        for (;;) {
            Timer* next = nullptr;
            for (Timer* t : all_)
                if (t->on && t->due <= end && (!next || t->due < next->due))
                    next = t;
            if (!next)
                break;
            setNow(next->due);
            next->due += next->interval;
            next->tick();
        }
        setNow(end);
    }
    // Whether a timer with the interval runs.
    bool running(int intervalMs) const {
        return std::any_of(all_.begin(), all_.end(),
                           [&](const Timer* t) { return t->on && t->interval == intervalMs; });
    }

    // The time: the clock's, when one is set, so that a test may also move the clock itself.
    std::int64_t nowMs() const { return clock ? *clock : now; }
    std::int64_t now = 1000;
    std::int64_t* clock = nullptr;

private:
    void setNow(std::int64_t t) {
        now = t;
        if (clock)
            *clock = t;
    }
    std::vector<Timer*> all_;
};

class Launcher : public ILauncher {
public:
    void startProgram(const std::string& path) override {
        if (!startable.count(path))
            throw Error("File not found");
        started.push_back(path);
    }
    std::set<std::string> startable;
    std::vector<std::string> started;
};

class SystemInfoLocator : public ISystemInfoLocator {
public:
    std::optional<std::string> find() override {
        if (failure)
            throw Error("cannot read");
        return path;
    }
    std::optional<std::string> path;
    bool failure = false;
};

} // namespace veltaro::fake
