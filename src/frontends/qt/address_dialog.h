// Responsibilities: the Qt address dialog: a fixed-size modal dialog built from the core's
// address dialog (its description, title and controls), OK as default and Cancel on Esc; the
// frame's close button acts as Cancel. It closes when the core says the dialog is finished.
// Collaborations: QtMainWindow::showAddressDialog() runs one for an AddressDialogModel, which
// checks and stores the address.
#pragma once

#include <QDialog>

namespace veltaro {
class AddressDialogModel;
}

namespace veltaro::qt {

class QtAddressDialog : public QDialog {
    Q_OBJECT
public:
    QtAddressDialog(veltaro::AddressDialogModel& core, QWidget* parent);

public slots:
    // Esc and the frame's close button act as Cancel.
    void reject() override;

private:
    veltaro::AddressDialogModel& core_;
};

} // namespace veltaro::qt
