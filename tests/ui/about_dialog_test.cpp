#include "ui/support.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>

namespace veltaro::test {
namespace {

using qt::AboutDialog;

int aboutDialogsAlive() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<AboutDialog*>(w))
            ++n;
    return n;
}

QString text(AboutDialog* d, const char* name) {
    auto* l = d->findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QStringLiteral("<missing>");
}

TEST(AboutDialog, HelpAboutShowsOneInstance) {
    Station s;
    s.start();
    QAction* about = s.child<QAction>("mnuAbout");

    about->trigger();
    AboutDialog* first = s.window.aboutDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parentWidget(), nullptr); // no owner: it may fall behind the main window
    about->trigger();
    EXPECT_EQ(s.window.aboutDialog(), first);
    EXPECT_EQ(aboutDialogsAlive(), 1);

    QTest::mouseClick(first->findChild<QPushButton*>("cmdOK"), Qt::LeftButton);
    flushDeletes();
    EXPECT_EQ(s.window.aboutDialog(), nullptr);
    EXPECT_EQ(aboutDialogsAlive(), 0);

    about->trigger(); // loaded afresh
    ASSERT_NE(s.window.aboutDialog(), nullptr);
    EXPECT_EQ(s.window.aboutDialog()->windowTitle(), "About Veltaro");
    EXPECT_EQ(aboutDialogsAlive(), 1);
}

TEST(AboutDialog, ShowsTheTextsOfTheLoadedForm) {
    Station s;
    s.window.showAbout();
    AboutDialog* d = s.window.aboutDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "About Veltaro");
    EXPECT_EQ(text(d, "lblTitle"), "Veltaro");
    EXPECT_EQ(text(d, "lblVersion"), "Version 1.2.2");
    EXPECT_TRUE(text(d, "lblDescription").startsWith("Veltaro is a freeware program"));
    EXPECT_EQ(text(d, "lblDisclaimer"), "Warning: ...");
    EXPECT_TRUE(d->findChild<QLabel*>("lblDescription")->wordWrap());

    auto* icon = d->findChild<QLabel*>("picIcon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(icon->size(), QSize(32, 32));
    // A different picture from the program icon.
    EXPECT_NE(icon->pixmap().toImage(), QPixmap(":/veltaro/veltaro.png").scaled(32, 32).toImage());

    // Fixed size, no minimise or maximise button.
    EXPECT_EQ(d->minimumSize(), d->maximumSize());
    EXPECT_FALSE(d->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(d->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    auto* ok = d->findChild<QPushButton*>("cmdOK");
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(d->findChild<QPushButton*>("cmdSysInfo")->text(), "&System Info...");
}

TEST(AboutDialog, EnterAndEscapeBothActAsOk) {
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        Station s;
        s.window.showAbout();
        QPointer<AboutDialog> d = s.window.aboutDialog();
        ASSERT_NE(d, nullptr);
        d->findChild<QPushButton*>("cmdOK")->setFocus();
        QTest::keyClick(d, key);
        flushDeletes();
        EXPECT_TRUE(d.isNull());
    }
}

TEST(AboutDialog, SystemInfoWithoutToolTellsTheUserAndStaysOpen) {
    Station s;
    s.window.showAbout();
    AboutDialog* d = s.window.aboutDialog();
    ASSERT_NE(d, nullptr);
    QTest::mouseClick(d->findChild<QPushButton*>("cmdSysInfo"), Qt::LeftButton);
    ASSERT_EQ(s.dialogs.shown.size(), 1u);
    EXPECT_EQ(s.dialogs.shown[0].first, "System Information Is Unavailable At This Time");
    EXPECT_EQ(s.dialogs.shown[0].second, "Veltaro");
    EXPECT_TRUE(s.launcher.started.empty());
    flushDeletes();
    EXPECT_EQ(s.window.aboutDialog(), d);
    EXPECT_TRUE(d->isVisible());
}

TEST(AboutDialog, OutlivesTheMainWindow) {
    Station s;
    s.start();
    s.child<QAction>("mnuAbout")->trigger();
    s.child<QAction>("mnuExit")->trigger();
    flushDeletes();
    EXPECT_FALSE(s.window.isVisible());
    ASSERT_NE(s.window.aboutDialog(), nullptr);
    EXPECT_TRUE(s.window.aboutDialog()->isVisible());
}

} // namespace
} // namespace veltaro::test
