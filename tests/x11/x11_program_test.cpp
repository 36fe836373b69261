// The real veltaro program under Xvfb and openbox, with its settings in a temporary
// XDG_CONFIG_HOME.
#include "x11/x11_support.h"

#include <QSettings>

namespace veltaro::test {
namespace {

// Visible windows of the program titled Veltaro: the main window, or the dialogs.
QList<WId> windowsOf(support::Program& p, bool dialogs) {
    const QString out =
        tool("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                         QString::number(p.process().processId()), "--name", "^Veltaro$"});
    QList<WId> found;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const WId wid = line.trimmed().toULongLong();
        if (windowProperty(wid, "_NET_WM_WINDOW_TYPE").contains("_NET_WM_WINDOW_TYPE_DIALOG") ==
            dialogs)
            found << wid;
    }
    return found;
}

// Starts the program, dismisses a start-up message (the serial port may be missing) and returns
// the framed main window.
WId startAndFindMainWindow(support::Program& p) {
    p.start(QProcessEnvironment::systemEnvironment(), "xcb");
    WId wid = 0;
    waitUntil(
        [&] {
            for (WId d : windowsOf(p, true)) {
                tool("xdotool", {"windowactivate", QString::number(d)});
                waitUntil([&] { return activeWindow() == d; }, 2000);
                tool("xdotool", {"key", "Return"});
            }
            const QList<WId> main = windowsOf(p, false);
            wid = main.isEmpty() ? 0 : main.first();
            return wid != 0 && !frameExtents(wid).isEmpty();
        },
        10000);
    return wid;
}

TEST(X11Program, StartWithOnTopSettingGivesATopmostWindow) {
    SKIP_WITHOUT_DISPLAY();
    support::Pty pty;
    support::Program p(VELTARO_PROGRAM);
    p.config.write("[StartUp]\nCheckOnTop=1\n[Ports]\nCom1=" + pty.path().toUtf8() + "\n");
    const WId wid = startAndFindMainWindow(p);
    ASSERT_NE(wid, 0u);
    EXPECT_TRUE(waitUntil([&] { return isAbove(wid); }, 5000));
    EXPECT_TRUE(windowsOf(p, true).isEmpty()); // the port opened: no message
}

TEST(X11Program, FirstStartShowsCollapsedWindowAndExitStoresTheDefaults) {
    SKIP_WITHOUT_DISPLAY();
    support::Program p(VELTARO_PROGRAM);
    const WId wid = startAndFindMainWindow(p);
    ASSERT_NE(wid, 0u);
    EXPECT_EQ(windowName(wid), "Veltaro");
    EXPECT_NEAR(outerRect(wid).height(), 97, 10); // close to the designed 1455 twips
    EXPECT_FALSE(isAbove(wid));
    // The window manager placed the new window (openbox centres it in the free area); it was
    // not pinned to the corner, and that place is what is stored.
    const QPoint placed = outerRect(wid).topLeft();
    EXPECT_NE(placed, QPoint(0, 0));

    // File > Exit from the keyboard.
    tool("xdotool", {"windowactivate", QString::number(wid)});
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == wid; }, 5000));
    tool("xdotool", {"key", "alt+f"});
    support::spin(300);
    tool("xdotool", {"key", "e"});
    ASSERT_TRUE(p.process().waitForFinished(10000)) << "the program did not end after File > Exit";
    EXPECT_EQ(p.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.process().exitCode(), 0);

    QSettings stored(p.config.settingsFile(), QSettings::IniFormat);
    stored.beginGroup("StartUp");
    const QByteArray left = QByteArray::number(placed.x() * 15),
                     top = QByteArray::number(placed.y() * 15);
    const std::pair<const char*, const char*> rows[] = {{"ComPort", "1"},
                                                        {"Position-Left", left.constData()},
                                                        {"Position-Top", top.constData()},
                                                        {"CheckCommander", "0"},
                                                        {"CheckTRX", "0"},
                                                        {"CheckHRD", "0"},
                                                        {"CheckOnTop", "0"}};
    EXPECT_EQ(stored.childKeys().size(), 7);
    for (const auto& [key, value] : rows) {
        EXPECT_EQ(stored.value(key).toString().toStdString(), value) << key;
    }
}

} // namespace
} // namespace veltaro::test
