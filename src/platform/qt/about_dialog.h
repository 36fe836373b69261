// Responsibilities: the Qt About dialog: the controls of frmAbout at their designed places (in
// twips), its own 32x32 icon, the etched separator, OK as default and Esc button, and
// "&System Info..." forwarded to the core. Texts come from frmAbout's label models.
// Collaborations: MainWindow::showAbout() asks its factory (main.cpp) for one; the dialog makes
// its frmAbout afresh, runs Form_Load and deletes itself when frmAbout unloads it.
#pragma once

#include "about/frm_about.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace veltaro::qt {

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    // Designed client size in twips.
    static constexpr double DesignWidth = 5730;
    static constexpr double DesignHeight = 3555;
    static constexpr double DesignLeft = 2340;
    static constexpr double DesignTop = 1935;

    explicit AboutDialog(AboutPlatform platform, QWidget* parent = nullptr);

    frmAbout& form() { return form_; }

public slots:
    // Esc and the frame's close button act as OK.
    void reject() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QRect twipsRect(double left, double top, double width, double height) const;
    QPoint twipsPoint(double x, double y) const;
    void run(const std::function<void()>& handler);

    AboutPlatform platform_;
    frmAbout form_;
    QLabel* picIcon_ = nullptr;
    QLabel* lblTitle_ = nullptr;
    QLabel* lblVersion_ = nullptr;
    QLabel* lblDescription_ = nullptr;
    QLabel* lblDisclaimer_ = nullptr;
    QPushButton* cmdOK_ = nullptr;
    QPushButton* cmdSysInfo_ = nullptr;
};

} // namespace veltaro::qt
