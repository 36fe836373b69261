// Under a real X server with a window manager (scripts/with-session.sh provides Xvfb and
// openbox), read with xprop, xwininfo and xdotool: the main window's keep-above from the start and
// as toggled, without a move or an activation, and its height below the menu bar; and the real
// program's first start. Without a display every test skips itself.
#include "test_support.h"
#include "ui/support.h"

#include <QtWidgets>

#include <csignal>

#define SKIP_WITHOUT_DISPLAY()                                                                     \
    if (QGuiApplication::platformName() != "xcb")                                                  \
    GTEST_SKIP() << "no X"

namespace veltaro::test {
namespace {

using support::waitUntil;

// Runs a tool and returns its standard output; a tool that hangs is killed.
inline QString tool(const QString& program, const QStringList& args) {
    return support::run(program, args, QProcessEnvironment::systemEnvironment(), 5000).out;
}

inline bool isAbove(WId wid) {
    return tool("xprop", {"-id", QString::number(wid), "_NET_WM_STATE"})
        .contains("_NET_WM_STATE_ABOVE");
}

inline WId activeWindow() {
    return tool("xdotool", {"getactivewindow"}).trimmed().toULongLong();
}

// left, right, top, bottom; empty until the window manager has decorated the window.
inline QList<int> frameExtents(WId wid) {
    const auto m = QRegularExpression("= (\\d+), (\\d+), (\\d+), (\\d+)")
                       .match(tool("xprop", {"-id", QString::number(wid), "_NET_FRAME_EXTENTS"}));
    return m.hasMatch() ? QList<int>{m.captured(1).toInt(), m.captured(2).toInt(),
                                     m.captured(3).toInt(), m.captured(4).toInt()}
                        : QList<int>{};
}

// The client area in root coordinates, as the X server has it.
inline QRect clientRect(WId wid) {
    const QString out = tool("xwininfo", {"-id", QString::number(wid)});
    int v[4] = {};
    for (int i = 0; const char* f : {"upper-left X", "upper-left Y", "Width", "Height"})
        v[i++] = QRegularExpression(QString(f) + ":\\s+(-?\\d+)").match(out).captured(1).toInt();
    return {v[0], v[1], v[2], v[3]};
}

// The outer rectangle: client area plus the frame the window manager drew.
inline QRect outerRect(WId wid) {
    const QList<int> f = frameExtents(wid);
    const QRect c = clientRect(wid);
    return f.isEmpty() ? c : c.adjusted(-f[0], -f[2], f[1], f[3]);
}

TEST(X11MainWindow, OnTopTogglesKeepAboveWithoutMovingOrActivating) {
    SKIP_WITHOUT_DISPLAY();
    Station s;
    s.settings.set("CheckOnTop", "1"); // set before the window is first mapped
    s.start();
    // The platform window's id: kept on top before its first show, the X window is made anew,
    // which the widget's own winId() does not follow.
    const WId wid = s.window.windowHandle()->winId();
    // Once framed, the area below the menu bar is as designed without and with the setup panel,
    // Setup keeps the window's place, and the outer height stays close to
    // the area below the menu bar plus the designed 690 twips of frame, title bar and menu bar
    // (46 px at 96 dpi).
    ASSERT_TRUE(waitUntil([&] { return !frameExtents(wid).isEmpty(); }, 5000));
    const auto heightBelowMenu = [&](double twips) {
        const int px = qRound(twips / s.window.twipsPerPixelY());
        return waitUntil(
            [&] { return clientRect(wid).height() - s.window.menuBar()->height() == px; }, 5000);
    };
    ASSERT_TRUE(heightBelowMenu(MainWindowModel::CollapsedClientHeight));
    const QPoint place = outerRect(wid).topLeft();
    s.child<QAction>("setupItem")->trigger();
    ASSERT_TRUE(heightBelowMenu(MainWindowModel::ExpandedClientHeight));
    EXPECT_EQ(outerRect(wid).topLeft(), place);
    EXPECT_NEAR(outerRect(wid).height(),
                qRound(MainWindowModel::ExpandedClientHeight / s.window.twipsPerPixelY()) + 46, 10);
    EXPECT_TRUE(waitUntil([&] { return isAbove(wid); }, 5000));

    QWidget other;
    other.setGeometry(600, 400, 200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(support::waitUntil([&] { return activeWindow() == other.winId(); }, 5000));
    const QRect before = outerRect(wid);
    for (bool above : {false, true, false}) {
        SCOPED_TRACE(above);
        s.child<QCheckBox>("onTopBox")->click();
        ASSERT_TRUE(support::waitUntil([&] { return isAbove(wid) == above; }, 5000));
        support::spin(200); // let a wrong move or activation show up
        EXPECT_EQ(activeWindow(), other.winId());
        EXPECT_EQ(outerRect(wid), before);
        EXPECT_EQ(s.settings.get("CheckOnTop"), above ? "1" : "0");
    }
}

// The program's visible windows titled Veltaro (the main window and its message boxes).
QStringList visibleWindows(support::Program& p) {
    return tool("xdotool", {"search", "--all", "--onlyvisible", "--pid",
                            QString::number(p.process().processId()), "--name", "^Veltaro$"})
        .split('\n', Qt::SkipEmptyParts);
}

// Nothing stored but the serial port, which opens: the window manager places the collapsed
// window, and File > Exit stores that place. (The other defaults stored are the core's.)
TEST(X11Program, FirstStartIsPlacedByTheWindowManagerAndExitStoresThePlace) {
    SKIP_WITHOUT_DISPLAY();
    support::Pty pty;
    support::Program p(VELTARO_PROGRAM);
    p.write("[Ports]\nCom1=" + pty.path().toUtf8() + "\n");
    p.start(QProcessEnvironment::systemEnvironment(), "xcb");
    QStringList shown; // the main window and no message
    ASSERT_TRUE(support::waitUntil(
        [&] {
            shown = visibleWindows(p);
            return shown.size() == 1 && !frameExtents(shown[0].toULongLong()).isEmpty();
        },
        10000));

    const WId wid = shown[0].toULongLong();
    EXPECT_NEAR(outerRect(wid).height(), 169, 10); // close to the designed 2535 twips
    // The window manager placed the new window (openbox centres it in the free area); it was
    // not pinned to the corner, and that place is what is stored.
    const QPoint placed = outerRect(wid).topLeft();
    EXPECT_NE(placed, QPoint(0, 0));

    // File > Exit from the keyboard.
    tool("xdotool", {"windowactivate", QString::number(wid)});
    ASSERT_TRUE(support::waitUntil([&] { return activeWindow() == wid; }, 5000));
    tool("xdotool", {"key", "alt+f"});
    support::spin(300);
    tool("xdotool", {"key", "e"});
    ASSERT_TRUE(p.process().waitForFinished(10000)) << "the program did not end after File > Exit";
    EXPECT_TRUE(p.process().exitStatus() == QProcess::NormalExit && p.process().exitCode() == 0);
    QSettings stored(p.settingsFile(), QSettings::IniFormat);
    EXPECT_EQ(stored.value("StartUp/Position-Left").toInt(), placed.x() * 15);
    EXPECT_EQ(stored.value("StartUp/Position-Top").toInt(), placed.y() * 15);
}

// A termination request ends the program even when a box is on its way: here the one telling
// that the controller's port has gone away.
TEST(X11Program, TerminationEndsTheProgramWhileABoxIsOpen) {
    SKIP_WITHOUT_DISPLAY();
    support::Program p(VELTARO_PROGRAM);
    const QString link = p.path() + "/controller";
    support::Child socat("socat", {"-u", "pty,link=" + link + ",raw,echo=0", "STDOUT"});
    ASSERT_TRUE(support::waitUntil([&] { return QFile::exists(link); }, 5000));
    p.write("[Ports]\nCom1=" + link.toUtf8() + "\n");
    p.start(QProcessEnvironment::systemEnvironment(), "xcb");
    ASSERT_TRUE(support::waitUntil([&] { return visibleWindows(p).size() == 1; }, 10000));
    // Unplugged, and the log-out comes before the box that tells it is shown.
    socat.process().terminate();
    ::kill(static_cast<pid_t>(p.process().processId()), SIGTERM);
    ASSERT_TRUE(p.process().waitForFinished(10000)) << "the program ignored SIGTERM";
    EXPECT_EQ(p.process().exitCode(), 0);
}

} // namespace
} // namespace veltaro::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
