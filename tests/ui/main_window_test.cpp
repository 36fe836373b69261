// The Qt main window built from the window's description: widgets at their places, the user's
// actions reaching the model, the session's timers on the event loop and closing. The height below
// the menu bar, keep-above and File > Exit are checked under a real window manager (tests/x11).
#include "frontends/qt/control_widgets.h"
#include "ui/support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace veltaro::test {
namespace {

void click(QWidget* w) {
    QTest::mouseClick(w, Qt::LeftButton);
}

// Both windows: every control that is not drawn is a widget at its place, showing what its
// Control holds, and the focusable ones follow each other in tab order.
TEST(MainWindowWidgets, EveryControlIsBuiltAtItsPlaceInTabOrder) {
    Station s;
    s.start();
    s.window.showAbout();
    for (auto [top, controls] :
         {std::pair<QWidget*, ControlSet*>{&s.window, &s.model.controls()},
          {s.window.aboutDialog(), &s.window.aboutDialog()->box().controls()}}) {
        for (auto& c : controls->all()) {
            if (c.design().kind == layout::Kind::Line)
                continue;
            auto* w = top->findChild<QWidget*>(c.name());
            ASSERT_NE(w, nullptr) << c.name();
            if (c.design().kind == layout::Kind::Icon)
                continue; // sized to its picture
            EXPECT_EQ(w->geometry(), qt::pixelRect(top, c.design().rect)) << c.name();
            const char* shown = qobject_cast<QComboBox*>(w) ? "currentText" : "text";
            EXPECT_EQ(w->property(shown).toString().toStdString(), c.text()) << c.name();
        }
    }
    const auto order = layout::tabOrder(layout::mainWindow());
    for (std::size_t i = 0; i + 1 < order.size(); ++i) {
        QWidget* w = s.child<QWidget>(order[i]->name);
        QWidget* next = w->nextInFocusChain();
        while (next && next->focusPolicy() == Qt::NoFocus)
            next = next->nextInFocusChain();
        // A combo box's edit field follows it in the chain.
        if (next && next->parentWidget() == w)
            next = next->nextInFocusChain();
        EXPECT_EQ(next, s.child<QWidget>(order[i + 1]->name)) << order[i]->name;
    }
}

// Leaving the port list's edit field, or Enter in it, picks nothing, even when the edit text
// names an item other than the current one (a stored port of 4 to 16 does).
TEST(MainWindowWidgets, LeavingThePortListPicksNothing) {
    Station s;
    s.settings.set("ComPort", "5");
    s.start();
    auto* combo = s.child<QComboBox>("portList");
    ASSERT_EQ(combo->currentText(), "Com 5");
    ASSERT_NE(combo->currentIndex(), 4);
    const auto messages = s.dialogs.messages.size(); // port 5 is missing: told once at start
    for (int round = 0; round < 2; ++round) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(combo->lineEdit(), &out);
        QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    }
    EXPECT_EQ(s.dialogs.messages.size(), messages);
    EXPECT_EQ(s.settings.writesOf("ComPort"), 0) << "nothing saved";
    QTest::keyClick(combo, Qt::Key_Down); // the arrow keys do pick
    EXPECT_EQ(s.dialogs.messages.size(), messages + 1);
}

// A polled source's readings reach the widgets through the session's timers on the event loop;
// closing the window ends the session. (When the poll runs is the core's: tests/core.)
TEST(MainWindowWidgets, PolledReadingsReachTheWidgetsAndClosingEndsTheSession) {
    Station s;
    s.automation.frequency = 7.074;
    s.start();
    click(s.child<QCheckBox>("trxManagerBox"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return s.child<QLabel>("receivedLabel")->text() == "7074"; }));
    click(s.child<QCheckBox>("commanderBox"));
    EXPECT_FALSE(s.child<QCheckBox>("trxManagerBox")->isChecked()) << "cleared by the model";
    static_cast<QMainWindow&>(s.window).close();
    EXPECT_TRUE(s.model.unloaded() && s.session.ended());
}

// A pick in a controller's list reaches the model, which ungreys the baud rate off the FA path;
// the antenna's line shows bold text on amber while the antenna moves, and the style's look again
// once it is tuned.
TEST(MainWindowWidgets, AListPickReachesTheModelAndTheMovingAntennaStandsOut) {
    Station s;
    s.start();
    auto* protocol = s.child<QComboBox>("protocolList");
    auto* baud = s.child<QComboBox>("baudList");
    EXPECT_FALSE(protocol->isEditable());
    EXPECT_FALSE(baud->isEnabled());
    QTest::keyClick(protocol, Qt::Key_Down);
    EXPECT_EQ(protocol->currentText(), "SteppIR (Data Out)");
    EXPECT_EQ(s.session.controllerSetup().protocol, ControllerSetup::Protocol::Steppir);
    EXPECT_TRUE(baud->isEnabled());

    auto* line = s.child<QLabel>("antennaLabel");
    const QColor plain = line->palette().color(QPalette::Window);
    for (const bool moving : {true, false}) {
        AntennaStatus status;
        status.state = moving ? AntennaStatus::State::Moving : AntennaStatus::State::Tuned;
        status.motorsRunning = moving;
        s.model.antennaChanged(status);
        EXPECT_EQ(line->font().bold(), moving);
        EXPECT_EQ(line->autoFillBackground(), moving);
        EXPECT_EQ(line->palette().color(QPalette::Window), moving ? qt::EmphasisColour : plain);
    }
}

// The transmit-inhibit line's port list shows a device plugged in since as it drops down; its
// state line is white bold text on red while the radio must not transmit, and the style's look
// again once it may.
TEST(MainWindowWidgets, TheInterlockListFindsNewDevicesAndAnInhibitIsAnAlarm) {
    Station s;
    s.start();
    auto* ports = s.child<QComboBox>("interlockPortList");
    const int before = ports->count();
    s.serial.present = {{"ttyUSB0 (USB serial)", 0, "/dev/ttyUSB0"}};
    ports->showPopup();
    ports->hidePopup();
    ASSERT_EQ(ports->count(), before + 1);
    EXPECT_EQ(ports->itemText(before), "ttyUSB0 (USB serial)");

    auto* line = s.child<QLabel>("interlockLabel");
    const QColor plain = line->palette().color(QPalette::Window);
    for (const auto& [kind, back] : {std::pair{InterlockState::Kind::Inhibited, qt::AlarmColour},
                                     {InterlockState::Kind::Permitted, plain}}) {
        const bool alarm = kind == InterlockState::Kind::Inhibited;
        s.model.interlockChanged(
            {kind, alarm ? InterlockState::Reason::Moving : InterlockState::Reason::None});
        EXPECT_EQ(line->font().bold(), alarm);
        EXPECT_EQ(line->palette().color(QPalette::Window), back);
        EXPECT_EQ(line->palette().color(QPalette::WindowText) == Qt::white, alarm);
    }
}

} // namespace
} // namespace veltaro::test
