// Fakes of the platform parts, recording what the core asks of them.
#pragma once

#include "platform/automation.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/file_system.h"
#include "platform/launcher.h"
#include "platform/link_client.h"
#include "platform/registry.h"
#include "platform/serial_port.h"
#include "platform/settings_store.h"
#include "platform/system.h"
#include "platform/window_host.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace veltaro::fake {

// A journal shared by the fakes, so tests can check the order of calls across parts.
struct Journal {
    std::vector<std::string> entries;
    void add(std::string e) { entries.push_back(std::move(e)); }
};

class SerialPort : public ISerialPort {
public:
    explicit SerialPort(Journal* j = nullptr) : journal(j) {}
    std::int16_t commPort() const override { return port; }
    void setCommPort(std::int16_t n) override {
        if (open)
            throw PortError("Operation valid only when the port is closed");
        if (n < 1 || n > 255)
            throw PortError("Invalid port number");
        port = n;
        log("CommPort=" + std::to_string(n));
    }
    bool portOpen() const override { return open; }
    void setPortOpen(bool o) override {
        if (o && !existing.count(port)) {
            log("open failed " + std::to_string(port));
            throw PortError("Port not available");
        }
        open = o;
        log(o ? "open " + std::to_string(port) : "close");
    }
    void setSettings(const std::string& s) override {
        settings = s;
        log("Settings=" + s);
    }
    void output(const std::string& text) override {
        if (!open)
            throw PortError("Port is closed");
        if (failWrites)
            throw PortError("Write failed");
        sent.push_back(text);
        log("Output=" + text);
    }

    std::set<int> existing{1};
    std::int16_t port = 1;
    bool open = false;
    bool failWrites = false;
    std::string settings = "9600,n,8,1";
    std::vector<std::string> sent;
    Journal* journal;

private:
    void log(const std::string& e) {
        if (journal)
            journal->add("serial " + e);
    }
};

class FileSystem : public IFileSystem {
public:
    std::string inProgramFolder(const std::string& name) const override { return "/prog/" + name; }
    void writeFile(const std::string& path, const std::string& bytes) override {
        if (!failure.empty())
            throw FileError(failure);
        files[path] = bytes;
        ++writes;
    }
    bool isOrdinaryFile(const std::string& path) const override { return ordinary.count(path) > 0; }
    std::map<std::string, std::string> files;
    std::set<std::string> ordinary;
    std::string failure;
    int writes = 0;
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

// A DDE client: servers are topic -> item -> value; a set-up to a topic without a server fails.
class LinkClient : public ILinkClient {
public:
    explicit LinkClient(Journal* j = nullptr) : journal(j) {}
    void setLinkTopic(const std::string& t) override { topic = t; }
    void setLinkItem(const std::string& i) override { item = i; }
    void setLinkMode(std::int16_t m) override {
        if (journal)
            journal->add("link mode " + std::to_string(m) + " " + topic);
        if (m == 0) {
            linked.clear();
            return;
        }
        ++setups;
        auto it = servers.find(topic);
        if (it == servers.end())
            throw LinkError("No server answers");
        linked = topic + "!" + item;
        deliver(it->second[item]);
    }
    void setDeliveryHandler(Delivery d) override { handler = std::move(d); }

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
    std::string topic, item, linked;
    int setups = 0;
    Delivery handler;
    Journal* journal;
};

// One automation server; every object made from it sees its state, as COM objects of one
// server process would.
struct ServerState {
    double frequency = 14.074;
    bool gone = false;
    bool hasTrx = true;
};

class Trx : public ITrxObject {
public:
    explicit Trx(std::shared_ptr<ServerState> s) : s_(std::move(s)) {}
    double frequency() override {
        if (s_->gone)
            throw LinkError("server gone");
        return s_->frequency;
    }

private:
    std::shared_ptr<ServerState> s_;
};

class AutomationObject : public IAutomationObject {
public:
    explicit AutomationObject(std::shared_ptr<ServerState> s) : s_(std::move(s)) {}
    std::unique_ptr<ITrxObject> queryTrx() override {
        if (!s_->hasTrx)
            throw LinkError("No such interface supported");
        return std::make_unique<Trx>(s_);
    }

private:
    std::shared_ptr<ServerState> s_;
};

class TrxServer : public ITrxServer {
public:
    explicit TrxServer(std::shared_ptr<ServerState> s) : s_(std::move(s)) {}
    std::unique_ptr<IAutomationObject> firstObject() override {
        return std::make_unique<AutomationObject>(s_);
    }

private:
    std::shared_ptr<ServerState> s_;
};

class Automation : public IAutomationClient {
public:
    std::unique_ptr<ITrxServer> createTrxServer() override {
        ++creates;
        if (!installed)
            throw LinkError("Class not registered");
        return std::make_unique<TrxServer>(server);
    }
    bool installed = true;
    std::shared_ptr<ServerState> server = std::make_shared<ServerState>();
    int creates = 0;
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
    void setWindowPos(bool top, int x, int y, int cx, int cy) override {
        positions.push_back({top, x, y, cx, cy});
        topmost = top;
        visible = true;
    }
    void close() override { ++closes; }
    void showAbout() override { ++aboutShown; }

    struct Pos {
        bool topmost;
        int x, y, cx, cy;
    };
    double l = 1200, t = 900, w = 2235, h = 3000, fx = 15, fy = 15;
    double clientHeight = 0;
    double frame = 690; // what the platform draws above and around the client area
    bool topmost = false, visible = false, isPlaced = true;
    std::vector<Pos> positions;
    int closes = 0, aboutShown = 0;
};

class Dialogs : public IDialogs {
public:
    void messageBox(const std::string& text, const std::string& caption) override {
        messages.push_back(text);
        captions.push_back(caption);
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
    std::vector<std::string> messages, captions;
    std::vector<std::pair<std::string, std::string>> posted;
    // Runs while a box is open: handlers that the event loop serves meanwhile.
    std::function<void()> whileShowing;
};

class System : public ISystem {
public:
    void Sleep(std::uint32_t ms) override { sleeps.push_back(ms); }
    std::vector<std::uint32_t> sleeps;
};

class Help : public IHelp {
public:
    void showHelp(int command, const std::string& file) override {
        calls.push_back(std::to_string(command) + " " + file);
    }
    std::vector<std::string> calls;
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

class Registry : public IRegistry {
public:
    struct Value {
        std::uint32_t type;
        std::vector<unsigned char> data;
    };
    long openKey(std::uint32_t root, const std::string& path, std::uint32_t access,
                 Key& key) override {
        accesses.push_back(access);
        if (root != HKEY_LOCAL_MACHINE_ROOT || !keys.count(path) || (access & ~allowedAccess))
            return 2;
        key = ++lastHandle;
        openHandles[key] = path;
        return 0;
    }
    long queryValue(Key key, const std::string& name, std::uint32_t& type,
                    std::vector<unsigned char>& buffer, std::uint32_t& length) override {
        auto& values = keys[openHandles.at(key)];
        auto it = values.find(name);
        if (it == values.end())
            return 2;
        if (it->second.data.size() > buffer.size())
            return 234; // more data
        type = it->second.type;
        std::copy(it->second.data.begin(), it->second.data.end(), buffer.begin());
        length = static_cast<std::uint32_t>(it->second.data.size());
        return 0;
    }
    void closeKey(Key key) override { openHandles.erase(key); }
    std::string systemInfoFile(const std::string&) const override { return "\\MSINFO32.EXE"; }

    void setString(const std::string& key, const std::string& name, const std::string& s,
                   bool terminated = true) {
        Value v{REG_SZ_TYPE, std::vector<unsigned char>(s.begin(), s.end())};
        if (terminated)
            v.data.push_back(0);
        keys[key][name] = v;
    }

    std::map<std::string, std::map<std::string, Value>> keys;
    std::map<Key, std::string> openHandles;
    std::vector<std::uint32_t> accesses;
    std::uint32_t allowedAccess = 0x20019; // a standard user may only read
    Key lastHandle = 0;
};

} // namespace veltaro::fake
