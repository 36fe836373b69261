#include "platform/qt/main_window.h"

#include "about/app_identity.h"
#include "platform/qt/about_dialog.h"
#include "platform/qt/address_dialog.h"
#include "platform/qt/control_widgets.h"
#include "shell/main_window.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <utility>

namespace veltaro::qt {

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QString::fromLatin1(layout::mainWindow().name));
    setWindowTitle(QString::fromLatin1(app::Title));

    pollTimer_ = new QTimer(this);
    pollTimer_->setObjectName(QStringLiteral("pollTimer"));
    pollTimer_->setInterval(veltaro::MainWindow::PollIntervalMs);
    connect(pollTimer_, &QTimer::timeout, this, [this] {
        core_->poll();
        updatePolling();
    });

    reopenTimer_ = new QTimer(this);
    reopenTimer_->setObjectName(QStringLiteral("reopenTimer"));
    reopenTimer_->setInterval(veltaro::MainWindow::ReopenIntervalMs);
    connect(reopenTimer_, &QTimer::timeout, this, [this] {
        core_->reopenTick();
        updatePolling();
    });

    placementWatch_ = new QTimer(this);
    placementWatch_->setInterval(50);
    connect(placementWatch_, &QTimer::timeout, this, [this] { watchPlacement(); });
}

MainWindow::~MainWindow() {
    // The About dialog has no owner; it goes with the window that made it.
    delete about_.data();
}

void MainWindow::attach(veltaro::MainWindow& core) {
    core_ = &core;
    buildMenu();
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    // The controls use a small dialog font, as the designed sizes expect.
    QFont small = client->font();
    small.setPointSizeF(std::min(small.pointSizeF(), 8.0));
    client->setFont(small);
    setCentralWidget(client);
    buildControls(
        client, core.layout(), core.controls(),
        {[this](layout::Command c) { core_->run(c); }, {}, [this] { core_->portListOpening(); }});

    const layout::WindowSpec& design = core.layout();
    resize(layout::toPixels(design.clientWidth, twipsPerPixelX()),
           layout::toPixels(design.clientHeight, twipsPerPixelY()) +
               menuBar()->sizeHint().height());

    core.pollStateChanged().subscribe([this] { updatePolling(); });
    updatePolling();
}

void MainWindow::buildMenu() {
    QMenuBar* bar = menuBar();
    bar->setNativeMenuBar(false);
    QMenu* popup = nullptr;
    for (const auto& item : core_->layout().menu) {
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
                [this, command = item.command] { core_->run(command); });
    }
}

void MainWindow::updatePolling() {
    for (auto [timer, needed] : {std::pair{pollTimer_, core_ && core_->pollNeeded()},
                                 std::pair{reopenTimer_, core_ && core_->reopenNeeded()}}) {
        if (!needed)
            timer->stop();
        else if (!timer->isActive())
            timer->start();
    }
}

double MainWindow::twipsPerPixelX() const {
    return twipsPerPixel(this, false);
}

double MainWindow::twipsPerPixelY() const {
    return twipsPerPixel(this, true);
}

QRect MainWindow::outerRect() const {
    // Asked of the platform window each time: the frame arrives after the window is mapped.
    const QWindow* w = windowHandle();
    const QMargins frame = w && isVisible() ? w->frameMargins() : QMargins();
    return geometry().marginsAdded(frame);
}

double MainWindow::left() const {
    return outerRect().x() * twipsPerPixelX();
}
double MainWindow::top() const {
    return outerRect().y() * twipsPerPixelY();
}
double MainWindow::width() const {
    return outerRect().width() * twipsPerPixelX();
}
double MainWindow::height() const {
    return outerRect().height() * twipsPerPixelY();
}

void MainWindow::setLeft(double twips) {
    move(layout::toPixels(twips, twipsPerPixelX()), outerRect().y());
}
void MainWindow::setTop(double twips) {
    move(outerRect().x(), layout::toPixels(twips, twipsPerPixelY()));
}

void MainWindow::setClientHeight(double twips) {
    const int menu = menuBar()->isVisible() ? menuBar()->height() : menuBar()->sizeHint().height();
    resize(geometry().width(), std::max(layout::toPixels(twips, twipsPerPixelY()), 1) + menu);
}

void MainWindow::watchPlacement() {
    const QWindow* w = windowHandle();
    if (placed_ || !w || !w->isExposed())
        return;
    placed_ = true;
    placementWatch_->stop();
    core_->placed();
}

bool MainWindow::event(QEvent* e) {
    const bool done = QMainWindow::event(e);
    if (e->type() == QEvent::Show && !placed_ && !placementWatch_->isActive())
        placementWatch_->start();
    return done;
}

void MainWindow::setWindowPos(bool topmost, int x, int y, int cx, int cy) {
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

void MainWindow::close() {
    QMainWindow::close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (core_)
        core_->unload();
    updatePolling();
    event->accept();
}

void MainWindow::showAbout() {
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

void MainWindow::showAddressDialog(veltaro::AddressDialog& dialog) {
    // A nested event loop: the timers, links and the serial line go on being served.
    AddressDialog window(dialog, this);
    window.exec();
}

} // namespace veltaro::qt
