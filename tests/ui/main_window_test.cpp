#include "ui/support.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>

#include <cmath>

namespace veltaro::test {
namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

bool onTopFlag(Station& s) {
    return s.window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint);
}

TEST(MainWindowGeometry, PositionRoundTripsInTwips) {
    Station s;
    const double tx = s.window.twipsPerPixelX(), ty = s.window.twipsPerPixelY();
    for (const auto& [left, top] : {std::pair{1200.0, 900.0}, {-60.0, -30.0}, {2340.0, 1935.0}}) {
        s.window.setLeft(left);
        s.window.setTop(top);
        EXPECT_EQ(s.window.pos(), QPoint(qRound(left / tx), qRound(top / ty)));
        EXPECT_DOUBLE_EQ(s.window.left(), qRound(left / tx) * tx);
        EXPECT_DOUBLE_EQ(s.window.top(), qRound(top / ty) * ty);
    }
}

TEST(MainWindowGeometry, SetupAndHideSetupSetTheHeightBelowTheMenuBar) {
    Station s;
    s.start();
    const double ty = s.window.twipsPerPixelY(), width = s.window.width(), top = s.window.top();
    auto below = [&] { return s.window.geometry().height() - s.window.menuBar()->height(); };
    // Without a frame (the offscreen platform draws none) the cut must still fall between rows:
    // collapsed below the captions and above the port row, expanded below the HRD box and above
    // the hidden text boxes.
    auto between = [&](const char* lastShown, const char* firstHidden) {
        return s.child<QWidget>(lastShown)->geometry().bottom() < below() &&
               s.child<QWidget>(firstHidden)->geometry().top() >= below();
    };
    EXPECT_EQ(below(), qRound(frmMain::CollapsedClientHeight / ty)); // Form_Load collapses
    EXPECT_TRUE(between("Label8", "Combo18"));
    for (const auto& [setup, height] : {std::pair{true, frmMain::ExpandedClientHeight},
                                        {true, frmMain::ExpandedClientHeight},
                                        {false, frmMain::CollapsedClientHeight},
                                        {false, frmMain::CollapsedClientHeight},
                                        {true, frmMain::ExpandedClientHeight}}) {
        if (setup)
            s.child<QAction>("mnuSetup")->trigger();
        else
            click(s.child<QPushButton>("CmdReturn"));
        EXPECT_EQ(below(), qRound(height / ty)) << setup;
        EXPECT_TRUE(setup ? between("CheckHRD", "Text3") : between("Label8", "Combo18"));
        EXPECT_DOUBLE_EQ(s.window.width(), width);
        EXPECT_DOUBLE_EQ(s.window.top(), top);
    }
}

TEST(MainWindowControls, UserClicksReachTheCore) {
    Station s;
    s.start();
    s.child<QAction>("mnuSetup")->trigger();
    auto* onTop = s.child<QCheckBox>("CheckOnTop");
    click(onTop);
    EXPECT_EQ(s.form.CheckOnTop.value(), 1);
    EXPECT_EQ(s.writes("CheckOnTop"), 2); // the start-up default, then the click
    EXPECT_TRUE(onTopFlag(s));
    click(onTop);
    EXPECT_EQ(s.settings.startUp("CheckOnTop"), "0");
    EXPECT_FALSE(onTop->isChecked());
    EXPECT_FALSE(onTopFlag(s));

    auto* commander = s.child<QCheckBox>("CheckCommander");
    auto* trx = s.child<QCheckBox>("CheckTRX");
    click(commander);
    EXPECT_EQ(s.link.setups, 1);
    EXPECT_EQ(s.settings.startUp("CheckCommander"), "1");
    EXPECT_TRUE(commander->isChecked());
    // The delivered reading shows in every control that mirrors it.
    EXPECT_EQ(s.child<QLabel>("Label7")->text(), "14074");
    EXPECT_EQ(s.child<QLabel>("Label3")->text(), "14074");
    EXPECT_EQ(s.child<QLineEdit>("Text3")->text(), "14.074000");
    EXPECT_EQ(s.child<QLineEdit>("Text1")->text(), "14074");

    // TRX-Manager clears Commander in the core; the widget follows.
    click(trx);
    EXPECT_EQ(s.automation.creates, 1);
    EXPECT_EQ(s.settings.startUp("CheckCommander"), "0");
    EXPECT_TRUE(trx->isChecked());
    EXPECT_FALSE(commander->isChecked());
}

TEST(MainWindowControls, RefusedSourceLeavesTheBoxAsTheCoreHasIt) {
    Station s;
    s.link.servers.erase(HrdLink.topic);
    s.start();
    auto* hrd = s.child<QCheckBox>("CheckHRD");
    click(hrd);
    EXPECT_EQ(hrd->isChecked(), s.form.CheckHRD.value() == 1);
    EXPECT_EQ(s.writes("CheckHRD"), 1); // only the start-up default: no save after a failed link
}

// Restoring a box at start-up runs its click handling in the core, once; mirroring the state
// into the widget must not run it again.
TEST(MainWindowControls, RestoredStatesRunClickHandlingOnce) {
    const struct {
        const char* key;
        int linkSetUps, serversCreated;
    } rows[] = {
        {"CheckCommander", 2, 0}, // its own set-up and the re-link at the end of start-up
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
        EXPECT_EQ(s.link.setups, r.linkSetUps);
        EXPECT_EQ(s.automation.creates, r.serversCreated);
        EXPECT_TRUE(s.child<QCheckBox>(r.key)->isChecked());
    }
}

// On Top is restored before the serial port opens, so the port's message already has a window.
TEST(MainWindowControls, OnTopAtStartShowsTheWindowDuringLoad) {
    Station s;
    s.settings.setStartUp("CheckOnTop", "1");
    s.serial.existing.clear();
    s.form.Form_Load();
    EXPECT_TRUE(s.window.isVisible());
    EXPECT_TRUE(onTopFlag(s));
    EXPECT_EQ(s.dialogs.captions, std::vector<std::string>{"Veltaro"});
}

TEST(MainWindowControls, PickingAPortReachesTheCore) {
    Station s;
    s.serial.existing.insert(3);
    s.start();
    s.child<QAction>("mnuSetup")->trigger();
    auto* combo = s.child<QComboBox>("Combo18");
    ASSERT_EQ(combo->count(), 16);
    const int writesBefore = s.writes("ComPort");

    combo->showPopup();
    QAbstractItemView* view = combo->view();
    ASSERT_TRUE(waitUntil([&] { return view->isVisible(); }));
    const QModelIndex third = view->model()->index(2, 0);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(third).center());

    EXPECT_EQ(s.serial.port, 3);
    EXPECT_TRUE(s.serial.open);
    EXPECT_EQ(s.settings.startUp("ComPort"), "3");
    EXPECT_EQ(s.writes("ComPort"), writesBefore + 1);
    EXPECT_EQ(s.form.Combo18.text(), "Com 3 ");
    EXPECT_EQ(combo->currentText(), "Com 3 ");
}

// Leaving the port list's edit field, or Enter in it, picks nothing, even when the edit text
// names an item other than the current one (a stored port of 4 to 16 does).
TEST(MainWindowControls, LeavingThePortListPicksNothing) {
    Station s;
    s.settings.setStartUp("ComPort", "5");
    s.start();
    auto* combo = s.child<QComboBox>("Combo18");
    ASSERT_EQ(combo->currentText(), "Com 5");
    ASSERT_NE(combo->currentIndex(), 4);
    const auto messages = s.dialogs.messages.size(); // port 5 is missing: told once at start
    for (int round = 0; round < 2; ++round) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(combo->lineEdit(), &out);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    }
    EXPECT_EQ(s.dialogs.messages.size(), messages);
    EXPECT_EQ(s.writes("ComPort"), 0) << "nothing saved";
    QTest::keyClick(combo, Qt::Key_Down); // the arrow keys do pick
    EXPECT_EQ(s.dialogs.messages.size(), messages + 1);
}

TEST(MainWindowTimer, RunsOnlyWhileThereIsSomethingToPoll) {
    Station s;
    s.automation.server->frequency = 7.074;
    s.start();
    auto* timer = s.window.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_FALSE(timer->isActive()); // idle: no source polled

    click(s.child<QCheckBox>("CheckTRX"));
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(waitUntil([&] { return s.child<QLabel>("Label7")->text() == "7074"; }));

    click(s.child<QCheckBox>("CheckCommander")); // a hot link: nothing to poll
    EXPECT_FALSE(timer->isActive());
}

TEST(MainWindowClosing, ExitSavesTwiceAndAFrameCloseOnce) {
    for (const auto& [exit, saves] : {std::pair{true, 2}, {false, 1}}) {
        SCOPED_TRACE(exit);
        Station s;
        s.start();
        const int before = s.writes("Position-Left");
        if (exit)
            s.child<QAction>("mnuExit")->trigger();
        else
            static_cast<QMainWindow&>(s.window).close();
        EXPECT_EQ(s.writes("Position-Left") - before, saves);
        EXPECT_EQ(s.writes("CheckTRX") - 1, saves);
        EXPECT_EQ(s.writes("CheckOnTop"), 1); // the start-up default only
        EXPECT_FALSE(s.window.isVisible());
    }
}

} // namespace
} // namespace veltaro::test
