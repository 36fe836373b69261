#include "frontends/qt/about_dialog.h"

#include "frontends/qt/control_widgets.h"

#include <QPainter>
#include <QPushButton>

// The icons live in a resource file; pull them in wherever the dialog is used.
static void initResources() {
    Q_INIT_RESOURCE(veltaro);
}

namespace veltaro::qt {

AboutDialog::AboutDialog(AboutPlatform platform, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      box_(platform, [this] { done(QDialog::Rejected); }) {
    initResources();
    setObjectName(QString::fromLatin1(box_.layout().name));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    buildControls(this, box_.layout(), box_.controls(),
                  {[this](layout::Command c) { box_.run(c); },
                   QPixmap(QStringLiteral(":/veltaro/about.png"))});
    box_.titleChanged().subscribe([this] { setWindowTitle(QString::fromStdString(box_.title())); });
    setWindowTitle(QString::fromStdString(box_.title()));

    const layout::WindowSpec& design = box_.layout();
    const QRect client = pixelRect(this, {layout::AboutScreenLeft, layout::AboutScreenTop,
                                          design.clientWidth, design.clientHeight});
    setFixedSize(client.size());
    setGeometry(client);
    if (auto* ok = findChild<QPushButton*>(QStringLiteral("okButton")))
        ok->setFocus();

    box_.load();
}

void AboutDialog::reject() {
    box_.run(layout::Command::Ok);
}

void AboutDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this);
    paintLines(p, this, box_.layout());
}

} // namespace veltaro::qt
