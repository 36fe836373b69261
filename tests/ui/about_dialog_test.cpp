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

QPushButton* button(AboutDialog* d, const char* name) {
    return d->findChild<QPushButton*>(QString::fromLatin1(name));
}

// One instance at a time, loaded afresh after OK, and it may outlive the main window.
TEST(AboutDialog, HelpAboutShowsOneInstanceThatOutlivesTheMainWindow) {
    Station s;
    s.start();
    QAction* about = s.child<QAction>("aboutItem");
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

    QTest::mouseClick(button(first, "okButton"), Qt::LeftButton);
    flushDeletes();
    EXPECT_EQ(s.window.aboutDialog(), nullptr);
    EXPECT_EQ(aboutDialogsAlive(), 0);

    about->trigger();
    s.child<QAction>("exitItem")->trigger();
    flushDeletes();
    EXPECT_FALSE(s.window.isVisible());
    ASSERT_NE(s.window.aboutDialog(), nullptr);
    EXPECT_TRUE(s.window.aboutDialog()->isVisible());
    EXPECT_EQ(aboutDialogsAlive(), 1);
}

TEST(AboutDialog, EnterAndEscapeBothActAsOk) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        Station s;
        s.window.showAbout();
        QPointer<AboutDialog> d = s.window.aboutDialog();
        ASSERT_NE(d, nullptr);
        button(d, "okButton")->setFocus();
        QTest::keyClick(d, key);
        flushDeletes();
        EXPECT_TRUE(d.isNull());
    }
}

} // namespace
} // namespace veltaro::test
