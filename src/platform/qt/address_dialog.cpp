#include "platform/qt/address_dialog.h"

#include "platform/qt/control_widgets.h"
#include "shell/address_dialog.h"

#include <QLineEdit>

namespace veltaro::qt {

AddressDialog::AddressDialog(veltaro::AddressDialog& core, QWidget* parent)
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

void AddressDialog::reject() {
    core_.run(layout::Command::Cancel);
}

} // namespace veltaro::qt
