// Small recording fakes of the platform parts behind frmMain and frmAbout, for the front-end
// tests.
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

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace veltaro::test {

class FakeSettings : public ISettingsStore {
public:
    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override {
        auto it = values.find(app + "/" + section + "/" + key);
        return it == values.end() ? std::string() : it->second;
    }
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override {
        values[app + "/" + section + "/" + key] = value;
        ++writes[key];
    }
    std::string startUp(const std::string& key) { return readSetting("Veltaro", "StartUp", key); }
    void setStartUp(const std::string& key, const std::string& v) {
        values["Veltaro/StartUp/" + key] = v;
    }

    std::map<std::string, std::string> values;
    std::map<std::string, int> writes; // by key
};

class FakeSerial : public ISerialPort {
public:
    std::int16_t commPort() const override { return port; }
    void setCommPort(std::int16_t n) override { port = n; }
    bool portOpen() const override { return open; }
    void setPortOpen(bool o) override {
        if (o && refuseOpen)
            throw PortError("no device");
        open = o;
    }
    void setSettings(const std::string& s) override { settings = s; }
    void output(const std::string& text) override { sent.push_back(text); }

    std::int16_t port = 1;
    bool open = false;
    bool refuseOpen = false;
    std::string settings;
    std::vector<std::string> sent;
};

class FakeFiles : public IFileSystem {
public:
    std::string inProgramFolder(const std::string& name) const override { return "/app/" + name; }
    void writeFile(const std::string& path, const std::string& bytes) override {
        files[path] = bytes;
    }
    bool isOrdinaryFile(const std::string& path) const override { return files.count(path) > 0; }
    std::map<std::string, std::string> files;
};

// A DDE server that answers with `value` when `answering`, and counts the links opened.
class FakeLink : public ILinkClient {
public:
    void setLinkTopic(const std::string& t) override { topic = t; }
    void setLinkItem(const std::string& i) override { item = i; }
    void setLinkMode(std::int16_t mode) override {
        if (mode == 0)
            return;
        if (!answering)
            throw LinkError("no server");
        ++opened;
        if (deliver)
            deliver(value);
    }
    void setDeliveryHandler(Delivery d) override { deliver = std::move(d); }

    bool answering = true;
    std::string value = "14074";
    std::string topic, item;
    int opened = 0;
    Delivery deliver;
};

class FakeAutomation : public IAutomationClient {
public:
    struct Trx : ITrxObject {
        explicit Trx(FakeAutomation& a) : a(a) {}
        double frequency() override {
            ++a.reads;
            return a.mhz;
        }
        FakeAutomation& a;
    };
    struct Object : IAutomationObject {
        explicit Object(FakeAutomation& a) : a(a) {}
        std::unique_ptr<ITrxObject> queryTrx() override { return std::make_unique<Trx>(a); }
        FakeAutomation& a;
    };
    struct Server : ITrxServer {
        explicit Server(FakeAutomation& a) : a(a) {}
        std::unique_ptr<IAutomationObject> firstObject() override {
            return std::make_unique<Object>(a);
        }
        FakeAutomation& a;
    };
    std::unique_ptr<ITrxServer> createTrxServer() override {
        ++created;
        return std::make_unique<Server>(*this);
    }
    double mhz = 7.074;
    int created = 0;
    int reads = 0;
};

class FakeDialogs : public IDialogs {
public:
    void messageBox(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption});
    }
    std::vector<std::pair<std::string, std::string>> shown;
};

class FakeSystem : public ISystem {
public:
    void Sleep(std::uint32_t) override {}
};

class FakeHelp : public IHelp {
public:
    void showHelp(int command, const std::string& file) override {
        calls.push_back({command, file});
    }
    std::vector<std::pair<int, std::string>> calls;
};

class FakeLauncher : public ILauncher {
public:
    void startProgram(const std::string& path) override { started.push_back(path); }
    std::vector<std::string> started;
};

// A registry with no keys at all.
class EmptyRegistry : public IRegistry {
public:
    long openKey(std::uint32_t, const std::string&, std::uint32_t, Key& key) override {
        key = 0;
        return 2;
    }
    long queryValue(Key, const std::string&, std::uint32_t&, std::vector<unsigned char>&,
                    std::uint32_t&) override {
        return 6;
    }
    void closeKey(Key) override {}
    std::string systemInfoFile(const std::string&) const override { return "/none"; }
};

} // namespace veltaro::test
