#include "frontends/qt/address_dialog.h"

#include "frontends/qt/control_widgets.h"
#include "view/address_dialog.h"

#include <QLineEdit>

namespace veltaro::qt {

QtAddressDialog::QtAddressDialog(veltaro::AddressDialogModel& core, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      core_(core) {
    const layout::WindowSpec& design = core.layout();
    setObjectName(QString::fromLatin1(design.name));
    setWindowTitle(QString::fromStdString(core.title()));
    setModal(true);
    buildControls(this, design, core.controls(), {[this](layout::Command c) { core_.run(c); }, {}});
    setFixedSize(pixelRect(this, {0, 0, design.clientWidth, design.clientHeight}).size());
    core.finishedSignal().subscribe([this] { done(core_.accepted() ? Accepted : Rejected); });
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("addressText"))) {
        edit->setFocus();
        edit->selectAll();
    }
}

void QtAddressDialog::reject() {
    core_.run(layout::Command::Cancel);
}

} // namespace veltaro::qt
