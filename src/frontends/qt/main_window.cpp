#include "frontends/qt/main_window.h"

#include "base/identity.h"
#include "frontends/qt/about_dialog.h"
#include "frontends/qt/address_dialog.h"
#include "frontends/qt/control_widgets.h"
#include "view/main_window_model.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace veltaro::qt {

QtMainWindow::QtMainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QString::fromLatin1(layout::mainWindow().name));
    setWindowTitle(QString::fromLatin1(app::Title));

    placementWatch_ = new QTimer(this);
    placementWatch_->setInterval(50);
    connect(placementWatch_, &QTimer::timeout, this, [this] { watchPlacement(); });
}

QtMainWindow::~QtMainWindow() {
    // The About dialog has no owner; it goes with the window that made it.
    delete about_.data();
}

void QtMainWindow::attach(veltaro::MainWindowModel& model) {
    model_ = &model;
    buildMenu();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The controls use a small dialog font, as the designed sizes expect.
    QFont small = client->font();
    small.setPointSizeF(std::min(small.pointSizeF(), 8.0));
    client->setFont(small);
    setCentralWidget(client);
    buildControls(
        client, model.layout(), model.controls(),
        {[this](layout::Command c) { model_->run(c); }, {}, [this] { model_->portListOpening(); }});

    const layout::WindowSpec& design = model.layout();
    resize(layout::toPixels(design.clientWidth, twipsPerPixelX()),
           layout::toPixels(design.clientHeight, twipsPerPixelY()) +
               menuBar()->sizeHint().height());
}

void QtMainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    QMenu* popup = nullptr;
    for (const auto& item : model_->layout().menu) {
        const QString caption = QString::fromLatin1(item.caption);
        QAction* action = nullptr;
        if (item.onBar && item.command == layout::Command::None) {
            popup = bar->addMenu(caption);
            popup->setObjectName(QString::fromLatin1(item.name));
            continue;
        }
        action = item.onBar || !popup ? bar->addAction(caption) : popup->addAction(caption);
        action->setObjectName(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this,
                [this, command = item.command] { model_->run(command); });
    }
}

double QtMainWindow::twipsPerPixelX() const {
    return twipsPerPixel(this, false);
}

double QtMainWindow::twipsPerPixelY() const {
    return twipsPerPixel(this, true);
}

QRect QtMainWindow::outerRect() const {
    // Asked of the platform window each time: the frame arrives after the window is mapped.
    const QWindow* w = windowHandle();
    const QMargins frame = w && isVisible() ? w->frameMargins() : QMargins();
    return geometry().marginsAdded(frame);
}

double QtMainWindow::left() const {
    return outerRect().x() * twipsPerPixelX();
}
double QtMainWindow::top() const {
    return outerRect().y() * twipsPerPixelY();
}
double QtMainWindow::width() const {
    return outerRect().width() * twipsPerPixelX();
}
double QtMainWindow::height() const {
    return outerRect().height() * twipsPerPixelY();
}

void QtMainWindow::setLeft(double twips) {
    move(layout::toPixels(twips, twipsPerPixelX()), outerRect().y());
}
void QtMainWindow::setTop(double twips) {
    move(outerRect().x(), layout::toPixels(twips, twipsPerPixelY()));
}

void QtMainWindow::setClientHeight(double twips) {
    const int menu = menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
    resize(geometry().width(), std::max(layout::toPixels(twips, twipsPerPixelY()), 1) + menu);
}

void QtMainWindow::watchPlacement() {
    const QWindow* w = windowHandle();
    if (placed_ || !w || !w->isExposed())
        return;
    placed_ = true;
    placementWatch_->stop();
    model_->placed();
}

bool QtMainWindow::event(QEvent* e) {
    const bool done = QMainWindow::event(e);
    if (e->type() == QEvent::Show && !placed_ && !placementWatch_->isActive())
        placementWatch_->start();
    return done;
}

void QtMainWindow::setKeepAbove(bool topmost, PixelRect rect) {
    const int x = rect.left, y = rect.top, cx = rect.width, cy = rect.height;
    create();
    // The widget's own flags follow without re-creating the native window, so that a later
    // show does not undo the band.
    overrideWindowFlags(windowFlags().setFlag(Qt::WindowStaysOnTopHint, topmost));
    if (QWindow* w = windowHandle())
        w->setFlag(Qt::WindowStaysOnTopHint, topmost);

    const QRect outer = outerRect();
    if (outer.topLeft() != QPoint(x, y))
        move(x, y);
    if (outer.width() != cx || outer.height() != cy)
        resize(geometry().width() + cx - outer.width(), geometry().height() + cy - outer.height());

    if (!isVisible()) {
        setAttribute(Qt::WA_ShowWithoutActivating, true);
        show();
        setAttribute(Qt::WA_ShowWithoutActivating, false);
    }
}

void QtMainWindow::close() {
    QMainWindow::close();
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    if (model_)
        model_->unload();
    event->accept();
}

void QtMainWindow::showAbout() {
    if (!about_) {
        if (!aboutFactory_)
            return;
        about_ = aboutFactory_();
        if (!about_)
            return;
    }
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void QtMainWindow::showAddressDialog(veltaro::AddressDialogModel& dialog) {
    // A nested event loop: the timers, links and the serial line go on being served.
    QtAddressDialog window(dialog, this);
    window.exec();
}

} // namespace veltaro::qt
