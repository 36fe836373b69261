// Shared parts of the adapter tests: a pseudo-terminal standing in for the serial device, a
// temporary settings home, event-loop waits with a bound, and the re-run of this binary as an
// unprivileged user.
#pragma once

#include "platform/settings_store.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <string>

#include <unistd.h>

// Tests that switch to the user nobody need root to do so (CI runs them as root).
#define REQUIRE_ROOT()                                                                             \
    do {                                                                                           \
        if (::geteuid() != 0)                                                                      \
            GTEST_SKIP() << "needs root to run a check as the user nobody";                        \
    } while (false)

namespace veltaro::qt::test {

// A pseudo-terminal pair; the adapter opens the slave by its path, the test reads the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& path() const { return path_; }
    int slave() const { return slave_; }
    // Whatever has arrived at the master so far, without waiting and without the event loop.
    QByteArray readNow(int max = 65536);
    // Reads until `count` bytes have arrived or `ms` have passed, running the event loop.
    QByteArray readAtLeast(int count, int ms);
    // Closes the master: the device is gone for the slave side.
    void closeMaster();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Points XDG_CONFIG_HOME at a fresh folder for the life of the object.
class ConfigHome {
public:
    ConfigHome();
    ~ConfigHome();
    QString path() const { return dir_.path(); }
    QString settingsFile() const { return dir_.path() + "/Veltaro/Veltaro.conf"; }
    void writeSettingsFile(const QByteArray& bytes) const;
    QByteArray settingsFileBytes() const;

private:
    QTemporaryDir dir_;
    QByteArray old_;
    bool hadOld_;
};

// In-memory settings for tests that only need the Ports section.
class MemorySettings : public veltaro::ISettingsStore {
public:
    std::map<std::string, std::string> values; // "app/section/key" -> text
    std::string readSetting(const std::string& app, const std::string& section,
                            const std::string& key) override;
    void writeSetting(const std::string& app, const std::string& section, const std::string& key,
                      const std::string& value) override;
};

// Runs the event loop for `ms` milliseconds.
void runEventLoop(int ms);

struct ChildResult {
    int exitCode = -1;
    bool finished = false;
    QString output;
};

// Runs this test binary again in child mode `mode` (see main.cpp) with `args`; as the user nobody
// when `unprivileged`. The child gets the given environment additions.
ChildResult runChild(const QString& mode, const QStringList& args, bool unprivileged,
                     const QStringList& env = {});

// Gives a path to nobody (chown) so the unprivileged child owns it.
void giveToNobody(const QString& path);

// Child-mode entry point; returns the process exit code.
int childMain(const QString& mode, const QStringList& args);

// Exit codes of a child.
enum ChildExit { ChildOk = 0, NoFailure = 10, WrongFailure = 11, BadMode = 12 };

} // namespace veltaro::qt::test
