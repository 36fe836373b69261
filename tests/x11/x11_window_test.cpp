// The main window under a real window manager: keep-above, and a screenshot of the expanded
// window for a look by eye.
#include "x11/x11_support.h"

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QPixmap>
#include <QScreen>

namespace veltaro::test {
namespace {

// Waits until the window manager has framed the expanded window; the area below the menu bar is
// as designed, and the outer height stays close to the designed 3105 twips (207 px at 96 dpi).
void waitFramed(qt::MainWindow& w) {
    const WId wid = w.winId();
    ASSERT_TRUE(waitUntil([&] { return !frameExtents(wid).isEmpty(); }, 5000));
    const int below = qRound(MainWindow::ExpandedClientHeight / w.twipsPerPixelY());
    ASSERT_TRUE(
        waitUntil([&] { return clientRect(wid).height() - w.menuBar()->height() == below; }, 5000))
        << "client height " << clientRect(wid).height();
    EXPECT_NEAR(outerRect(wid).height(), 207, 10);
}

TEST(X11MainWindow, OnTopTogglesKeepAboveWithoutMovingOrActivating) {
    SKIP_WITHOUT_DISPLAY();
    Station s;
    s.start();
    const WId wid = s.window.winId();
    s.child<QAction>("setupItem")->trigger();
    waitFramed(s.window);

    QWidget other;
    other.setWindowTitle("other");
    other.setGeometry(600, 400, 200, 100);
    other.show();
    other.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return activeWindow() == other.winId(); }, 5000));
    const QRect before = outerRect(wid);
    EXPECT_FALSE(isAbove(wid));

    QCheckBox* onTop = s.child<QCheckBox>("onTopBox");
    for (bool above : {true, false, true}) {
        SCOPED_TRACE(above);
        onTop->click();
        ASSERT_TRUE(waitUntil([&] { return isAbove(wid) == above; }, 5000));
        support::spin(200); // let a wrong move or activation show up
        EXPECT_EQ(activeWindow(), other.winId());
        EXPECT_EQ(outerRect(wid), before);
        EXPECT_EQ(s.settings.startUp("CheckOnTop"), above ? "1" : "0");
    }
}

TEST(X11MainWindow, ExpandedWindowScreenshot) {
    SKIP_WITHOUT_DISPLAY();
    Station s;
    s.settings.setStartUp("CheckCommander", "1");
    s.link.value = "14074";
    s.start();
    s.child<QAction>("setupItem")->trigger();
    waitFramed(s.window);
    support::spin(300); // painted
    const QRect r = outerRect(s.window.winId());
    const QPixmap shot =
        QGuiApplication::primaryScreen()->grabWindow(0, r.x(), r.y(), r.width(), r.height());
    const QString file = QStringLiteral(VELTARO_BUILD_DIR "/veltaro-expanded.png");
    ASSERT_TRUE(shot.save(file));
    // Something was drawn: the picture is not one flat colour.
    const QImage img = shot.toImage();
    EXPECT_NE(img.pixel(0, 0), img.pixel(r.width() / 2, r.height() / 2));
}

} // namespace
} // namespace veltaro::test
