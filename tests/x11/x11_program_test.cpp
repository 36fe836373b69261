// The real veltaro program under Xvfb and openbox, with its settings in a temporary
// XDG_CONFIG_HOME.
#include "x11/x11_support.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

namespace veltaro::test {
namespace {

// One run of the program; killed at the end of the test whatever happened.
class Program {
public:
    Program() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", config.path());
        env.insert("QT_QPA_PLATFORM", "xcb");
        proc.setProcessEnvironment(env);
        proc.setProgram(QStringLiteral(VELTARO_PROGRAM));
    }
    ~Program() {
        if (proc.state() != QProcess::NotRunning) {
            proc.kill();
            proc.waitForFinished(3000);
        }
    }
    QString settingsFile() const { return config.filePath("Veltaro/Veltaro.conf"); }
    void writeSettings(const QString& ini) {
        QDir(config.path()).mkpath("Veltaro");
        QFile f(settingsFile());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini.toUtf8());
    }
    void start() {
        proc.start();
        ASSERT_TRUE(proc.waitForStarted(5000));
    }

    // Visible windows of the program titled Veltaro, split into the main window and dialogs.
    QList<WId> windows(bool dialogs) {
        const QString out =
            tool("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                             QString::number(proc.processId()), "--name", "^Veltaro$"});
        QList<WId> found;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            const WId wid = line.trimmed().toULongLong();
            const bool dialog =
                windowProperty(wid, "_NET_WM_WINDOW_TYPE").contains("_NET_WM_WINDOW_TYPE_DIALOG");
            if (dialog == dialogs)
                found << wid;
        }
        return found;
    }

    // Dismisses a start-up message (the serial port may be missing) and returns the main window.
    WId mainWindow() {
        WId wid = 0;
        waitUntil(
            [&] {
                for (WId d : windows(true)) {
                    tool("xdotool", {"windowactivate", QString::number(d)});
                    waitUntil([&] { return activeWindow() == d; }, 2000);
                    tool("xdotool", {"key", "Return"});
                }
                const QList<WId> main = windows(false);
                wid = main.isEmpty() ? 0 : main.first();
                return wid != 0 && !frameExtents(wid).isEmpty();
            },
            10000);
        return wid;
    }

    QTemporaryDir config;
    QProcess proc;
};

// A pseudo terminal standing in for the controller's serial port.
struct Pty {
    Pty() {
        char name[128] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
    }
    ~Pty() {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
    }
    int master = -1, slave = -1;
    QString path;
};

TEST(X11Program, StartWithOnTopSettingGivesATopmostWindow) {
    SKIP_WITHOUT_DISPLAY();
    Pty pty;
    ASSERT_FALSE(pty.path.isEmpty());
    Program p;
    p.writeSettings(QString("[StartUp]\nCheckOnTop=1\n[Ports]\nCom1=%1\n").arg(pty.path));
    p.start();
    const WId wid = p.mainWindow();
    ASSERT_NE(wid, 0u);
    EXPECT_TRUE(waitUntil([&] { return isAbove(wid); }, 5000));
    EXPECT_TRUE(p.windows(true).isEmpty()); // the port opened: no message
}

TEST(X11Program, FirstStartShowsCollapsedWindowAndExitStoresTheDefaults) {
    SKIP_WITHOUT_DISPLAY();
    Program p;
    p.start();
    const WId wid = p.mainWindow();
    ASSERT_NE(wid, 0u);
    EXPECT_EQ(windowName(wid), "Veltaro");
    EXPECT_TRUE(waitUntil([&] { return outerRect(wid).height() == 97; }, 5000))
        << "outer height " << outerRect(wid).height();
    EXPECT_FALSE(isAbove(wid));

    // File > Exit from the keyboard.
    tool("xdotool", {"windowactivate", QString::number(wid)});
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == wid; }, 5000));
    tool("xdotool", {"key", "alt+f"});
    waitUntil([] { return false; }, 300);
    tool("xdotool", {"key", "e"});
    ASSERT_TRUE(p.proc.waitForFinished(10000)) << "the program did not end after File > Exit";
    EXPECT_EQ(p.proc.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.proc.exitCode(), 0);

    QSettings stored(p.settingsFile(), QSettings::IniFormat);
    stored.beginGroup("StartUp");
    const struct {
        const char* key;
        const char* value; // null: a whole number
    } rows[] = {{"ComPort", "1"},        {"Position-Left", nullptr}, {"Position-Top", nullptr},
                {"CheckCommander", "0"}, {"CheckTRX", "0"},          {"CheckHRD", "0"},
                {"CheckOnTop", "0"}};
    EXPECT_EQ(stored.childKeys().size(), 7);
    for (const auto& r : rows) {
        const QString v = stored.value(r.key).toString();
        if (r.value) {
            EXPECT_EQ(v, r.value) << r.key;
        } else {
            bool whole = false;
            v.toInt(&whole);
            EXPECT_TRUE(whole) << r.key << " = " << v.toStdString();
        }
    }
}

} // namespace
} // namespace veltaro::test
