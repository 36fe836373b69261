#include "ui/support.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace veltaro::test {
namespace {

using qt::MainWindow;

QAction* action(Station& s, const char* name) {
    return s.child<QAction>(name);
}

TEST(MainWindowLayout, ControlsSitAtTheirDesignedPlaces) {
    Station s;
    const double tx = s.window.twipsPerPixelX();
    const double ty = s.window.twipsPerPixelY();
    struct Row {
        const char* name;
        double left, top, width, height;
    };
    const Row rows[] = {
        {"Label7", 120, 120, 855, 315},
        {"Label3", 1080, 120, 855, 315},
        {"Label8", 240, 480, 615, 255},
        {"Label1", 1080, 480, 855, 255},
        {"Combo18", 0, 840, 975, 315},
        {"CmdReturn", 1080, 840, 975, 300},
        {"CheckOnTop", 120, 1200, 975, 255},
        {"CheckTRX", 120, 1560, 1575, 255},
        {"CheckCommander", 120, 1800, 1455, 255},
        {"CheckHRD", 120, 2040, 1455, 255},
        {"Text3", 120, 2640, 975, 285},
        {"Text1", 120, 3000, 975, 285},
    };
    for (const Row& r : rows) {
        QWidget* w = s.child<QWidget>(r.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->geometry(), QRect(qRound(r.left / tx), qRound(r.top / ty),
                                       qRound(r.width / tx), qRound(r.height / ty)))
            << r.name;
    }
    // The two hidden text boxes start below the designed client area.
    const int clientHeight = qRound(MainWindow::DesignHeight / ty);
    EXPECT_GE(s.child<QWidget>("Text3")->y(), clientHeight);
    EXPECT_GE(s.child<QWidget>("Text1")->y(), clientHeight);

    const QFont display = s.child<QLabel>("Label7")->font();
    EXPECT_EQ(display.family(), "Arial");
    EXPECT_DOUBLE_EQ(display.pointSizeF(), 11.25);
    EXPECT_EQ(s.window.windowTitle(), "Veltaro");
}

TEST(MainWindowLayout, TabOrderFollowsTheDesign) {
    Station s;
    const QStringList expected = {"Combo18",    "Text1",     "CheckTRX", "CheckCommander",
                                  "CheckOnTop", "CmdReturn", "Text3",    "CheckHRD"};
    QStringList seen;
    QWidget* w = s.child<QWidget>("Combo18");
    for (int guard = 0; guard < 100 && seen.size() < expected.size(); ++guard) {
        if (expected.contains(w->objectName()) && !seen.contains(w->objectName()))
            seen << w->objectName();
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(seen, expected);
}

TEST(MainWindowGeometry, PositionRoundTripsInTwips) {
    Station s;
    const double tx = s.window.twipsPerPixelX();
    const double ty = s.window.twipsPerPixelY();
    const struct { double left, top; } rows[] = {{1200, 900}, {-60, -30}, {0, 0}, {2340, 1935}};
    for (const auto& r : rows) {
        s.window.setLeft(r.left);
        s.window.setTop(r.top);
        EXPECT_EQ(s.window.pos(), QPoint(qRound(r.left / tx), qRound(r.top / ty)));
        EXPECT_DOUBLE_EQ(s.window.left(), qRound(r.left / tx) * tx);
        EXPECT_DOUBLE_EQ(s.window.top(), qRound(r.top / ty) * ty);
    }
}

TEST(MainWindowGeometry, SetupAndHideSetupSetTheOuterHeight) {
    Station s;
    s.start();
    const double ty = s.window.twipsPerPixelY();
    const double width = s.window.width();
    const double top = s.window.top();
    EXPECT_DOUBLE_EQ(s.window.height(), std::round(1455 / ty) * ty); // Form_Load collapses

    QPushButton* hide = s.child<QPushButton>("CmdReturn");
    const struct {
        const char* step;
        double height;
    } steps[] = {{"setup", 3105}, {"setup", 3105}, {"hide", 1455}, {"hide", 1455}, {"setup", 3105}};
    for (const auto& st : steps) {
        if (std::string(st.step) == "setup")
            action(s, "mnuSetup")->trigger();
        else
            QTest::mouseClick(hide, Qt::LeftButton);
        EXPECT_DOUBLE_EQ(s.window.height(), std::round(st.height / ty) * ty) << st.step;
        EXPECT_DOUBLE_EQ(s.window.width(), width) << st.step;
        EXPECT_DOUBLE_EQ(s.window.top(), top) << st.step;
    }
}

TEST(MainWindowControls, UserClickOnOnTopReachesTheCore) {
    Station s;
    s.start();
    action(s, "mnuSetup")->trigger();
    QCheckBox* onTop = s.child<QCheckBox>("CheckOnTop");

    QTest::mouseClick(onTop, Qt::LeftButton);
    EXPECT_EQ(s.form.CheckOnTop.value(), 1);
    EXPECT_EQ(s.settings.startUp("CheckOnTop"), "1");
    EXPECT_EQ(s.writes("CheckOnTop"), 2); // the start-up default, then the click
    EXPECT_TRUE(s.window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(s.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));

    QTest::mouseClick(onTop, Qt::LeftButton);
    EXPECT_EQ(s.form.CheckOnTop.value(), 0);
    EXPECT_EQ(s.settings.startUp("CheckOnTop"), "0");
    EXPECT_FALSE(onTop->isChecked());
    EXPECT_FALSE(s.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(MainWindowControls, UserClicksOnSourceBoxesReachTheCore) {
    Station s;
    s.start();
    action(s, "mnuSetup")->trigger();
    QCheckBox* commander = s.child<QCheckBox>("CheckCommander");
    QCheckBox* trx = s.child<QCheckBox>("CheckTRX");

    QTest::mouseClick(commander, Qt::LeftButton);
    EXPECT_EQ(s.link.opened, 1);
    EXPECT_EQ(s.settings.startUp("CheckCommander"), "1");
    EXPECT_TRUE(commander->isChecked());

    // TRX-Manager clears Commander in the core; the widget follows.
    QTest::mouseClick(trx, Qt::LeftButton);
    EXPECT_EQ(s.automation.created, 1);
    EXPECT_EQ(s.settings.startUp("CheckTRX"), "1");
    EXPECT_EQ(s.settings.startUp("CheckCommander"), "0");
    EXPECT_TRUE(trx->isChecked());
    EXPECT_FALSE(commander->isChecked());
}

TEST(MainWindowControls, RefusedSourceLeavesTheBoxAsTheCoreHasIt) {
    Station s;
    s.link.answering = false;
    s.start();
    QCheckBox* hrd = s.child<QCheckBox>("CheckHRD");
    QTest::mouseClick(hrd, Qt::LeftButton);
    EXPECT_EQ(hrd->isChecked(), s.form.CheckHRD.value() == 1);
    EXPECT_EQ(s.writes("CheckHRD"), 1); // only the start-up default: no save after a failed link
}

// Restoring a box at start-up runs its click handling in the core, once; mirroring the state
// into the widget must not run it again.
TEST(MainWindowControls, RestoredStatesRunClickHandlingOnce) {
    const struct {
        const char* key;
        int linksOpened;
        int serversCreated;
    } rows[] = {
        {"CheckCommander", 2, 0}, // step 7 and the re-link at the end of start-up
        {"CheckHRD", 2, 0},
        {"CheckTRX", 0, 1},
        {"CheckOnTop", 0, 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.key);
        Station s;
        s.settings.setStartUp(r.key, "1");
        s.start();
        EXPECT_EQ(s.writes(r.key), 1);
        EXPECT_EQ(s.link.opened, r.linksOpened);
        EXPECT_EQ(s.automation.created, r.serversCreated);
        EXPECT_TRUE(s.child<QCheckBox>(r.key)->isChecked());
    }
}

TEST(MainWindowControls, OnTopAtStartShowsTheWindowDuringLoad) {
    Station s;
    s.settings.setStartUp("CheckOnTop", "1");
    bool visibleWhenPortOpened = false;
    // The serial port is opened at step 10, after the box was restored at step 5.
    s.serial.refuseOpen = true;
    s.form.Form_Load();
    visibleWhenPortOpened = s.window.isVisible();
    EXPECT_TRUE(visibleWhenPortOpened);
    EXPECT_TRUE(s.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
    ASSERT_EQ(s.dialogs.shown.size(), 1u);
    EXPECT_EQ(s.dialogs.shown[0].second, "Veltaro");
}

TEST(MainWindowControls, PickingAPortReachesTheCore) {
    Station s;
    s.start();
    action(s, "mnuSetup")->trigger();
    QComboBox* combo = s.child<QComboBox>("Combo18");
    ASSERT_EQ(combo->count(), 16);
    EXPECT_EQ(combo->currentText(), "Com 1");
    const int writesBefore = s.writes("ComPort");

    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(waitUntil([&] { return view->isVisible(); }));
    const QModelIndex third = view->model()->index(2, 0);
    ASSERT_EQ(third.data().toString(), "Com 3 ");
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(third).center());

    EXPECT_EQ(s.serial.port, 3);
    EXPECT_TRUE(s.serial.open);
    EXPECT_EQ(s.settings.startUp("ComPort"), "3");
    EXPECT_EQ(s.writes("ComPort"), writesBefore + 1);
    EXPECT_EQ(s.form.Combo18.text(), "Com 3 ");
    EXPECT_EQ(combo->currentText(), "Com 3 ");
}

TEST(MainWindowControls, ReadingsShowInTheLabels) {
    Station s;
    s.settings.setStartUp("CheckCommander", "1");
    s.link.value = "14074";
    s.start();
    EXPECT_EQ(s.child<QLabel>("Label7")->text(), "14074");
    EXPECT_EQ(s.child<QLabel>("Label3")->text(), "14074");
    EXPECT_EQ(s.child<QLineEdit>("Text3")->text(), "14.074000");
    EXPECT_EQ(s.child<QLineEdit>("Text1")->text(), "14074");
    EXPECT_EQ(s.child<QLabel>("Label8")->text(), "Freq In");
    EXPECT_EQ(s.child<QLabel>("Label1")->text(), "Freq Out");
}

TEST(MainWindowTimer, RunsOnlyWhileThereIsSomethingToPoll) {
    Station s;
    s.start();
    auto* timer = s.window.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()); // idle: no source polled

    QTest::mouseClick(s.child<QCheckBox>("CheckTRX"), Qt::LeftButton);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 100);
    ASSERT_TRUE(waitUntil([&] { return s.automation.reads >= 2; }));
    EXPECT_TRUE(waitUntil([&] { return s.child<QLabel>("Label7")->text() == "7074"; }));

    QTest::mouseClick(s.child<QCheckBox>("CheckCommander"), Qt::LeftButton);
    EXPECT_FALSE(timer->isActive());
    const int reads = s.automation.reads;
    waitUntil([] { return false; }, 250);
    EXPECT_EQ(s.automation.reads, reads);
}

TEST(MainWindowClosing, ExitSavesTwiceAndAFrameCloseOnce) {
    const struct {
        const char* route;
        int saves;
    } rows[] = {{"exit", 2}, {"frame", 1}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.route);
        Station s;
        s.start();
        const int before = s.writes("Position-Left");
        const int onTopBefore = s.writes("CheckOnTop");
        if (std::string(r.route) == "exit")
            action(s, "mnuExit")->trigger();
        else
            static_cast<QMainWindow&>(s.window).close();
        EXPECT_EQ(s.writes("Position-Left") - before, r.saves);
        EXPECT_EQ(s.writes("CheckTRX") - 1, r.saves);
        EXPECT_EQ(s.writes("CheckOnTop"), onTopBefore);
        EXPECT_FALSE(s.window.isVisible());
    }
}

} // namespace
} // namespace veltaro::test
