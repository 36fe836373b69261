#include "ui/support.h"

#include <QAction>
#include <QPushButton>
#include <QTest>

namespace veltaro::test {
namespace {

using qt::AboutDialog;

int aboutDialogsAlive() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        n += qobject_cast<AboutDialog*>(w) != nullptr;
    return n;
}

// One instance at a time, closed by Enter on OK or by Escape and loaded afresh the next time, and
// it may outlive the main window.
TEST(AboutDialog, HelpAboutShowsOneInstanceThatOutlivesTheMainWindow) {
    Station s;
    s.start();
    QAction* about = s.child<QAction>("aboutItem");
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        about->trigger();
        AboutDialog* first = s.window.aboutDialog();
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->isVisible());
        EXPECT_EQ(first->windowTitle(), "About Veltaro"); // loaded
        EXPECT_EQ(first->minimumSize(), first->maximumSize());
        EXPECT_EQ(first->parentWidget(), nullptr); // no owner: it may fall behind the main window
        about->trigger();
        EXPECT_EQ(s.window.aboutDialog(), first);
        EXPECT_EQ(aboutDialogsAlive(), 1);
        first->findChild<QPushButton*>("okButton")->setFocus();
        QTest::keyClick(first, key);
        flushDeletes();
        EXPECT_EQ(s.window.aboutDialog(), nullptr);
        EXPECT_EQ(aboutDialogsAlive(), 0);
    }

    about->trigger();
    s.child<QAction>("exitItem")->trigger();
    flushDeletes();
    EXPECT_FALSE(s.window.isVisible());
    ASSERT_NE(s.window.aboutDialog(), nullptr);
    EXPECT_TRUE(s.window.aboutDialog()->isVisible());
    EXPECT_EQ(aboutDialogsAlive(), 1);
}

} // namespace
} // namespace veltaro::test
