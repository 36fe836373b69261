// Responsibilities: the Qt About dialog: a fixed-size dialog built from the About box's
// description, its own 32x32 icon, the etched separator, OK as default and Esc button.
// Collaborations: QtMainWindow::showAbout() asks its factory (main.cpp) for one; the dialog makes
// its AboutBox afresh, loads it, and deletes itself when the box closes.
#pragma once

#include "view/about_box.h"

#include <QDialog>

namespace veltaro::qt {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(AboutPlatform platform, QWidget* parent = nullptr);

    AboutBox& box() { return box_; }

public slots:
    // Esc and the frame's close button act as OK.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    AboutBox box_;
};

} // namespace veltaro::qt
