// Responsibilities: the Qt main window of Veltaro. It lays out frmMain's controls at their
// designed places (twips converted at the screen's logical DPI), mirrors every control model
// into its widget, forwards the user's clicks, picks and menu commands to frmMain's handlers,
// runs Timer1 while a tick has work to do, and implements IWindowHost (outer geometry in twips,
// keep-above placement, closing, the one About dialog).
// Collaborations: main.cpp constructs it first, hands it to frmMain as MainPlatform::window, then
// calls attach(form) and setAboutFactory(); a close through the frame runs frmMain::Form_Unload.
#pragma once

#include "platform/dialogs.h"
#include "platform/window_host.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <functional>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace veltaro {
class frmMain;
class CheckBox;
} // namespace veltaro

namespace veltaro::qt {

class AboutDialog;

class MainWindow : public QMainWindow, public IWindowHost {
    Q_OBJECT
public:
    // Makes a new, loaded About dialog (without parent); called when none is loaded.
    using AboutFactory = std::function<AboutDialog*()>;

    // Designed client area below the menu bar, in twips.
    static constexpr double DesignWidth = 2115;
    static constexpr double DesignHeight = 2415;

    // dialogs reports failures that escape a handler.
    explicit MainWindow(IDialogs& dialogs, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Mirrors the form's controls and forwards the user's actions to it. Call once, before
    // form.Form_Load(); the form must outlive the window's event handling.
    void attach(frmMain& form);
    void setAboutFactory(AboutFactory factory) { aboutFactory_ = std::move(factory); }

    // The loaded About dialog, or null.
    AboutDialog* aboutDialog() const { return about_; }
    // A control rectangle in twips converted to pixels at the current DPI.
    QRect twipsRect(double left, double top, double width, double height) const;

    // IWindowHost. width() and height() are the outer size in twips; QWidget's are hidden here
    // on purpose, use geometry() for the client size in pixels.
    double left() const override;
    double top() const override;
    double width() const override;
    double height() const override;
    void setLeft(double twips) override;
    void setTop(double twips) override;
    void setClientHeight(double twips) override;
    bool placed() const override { return placed_; }
    double twipsPerPixelX() const override;
    double twipsPerPixelY() const override;
    void setWindowPos(bool topmost, int x, int y, int cx, int cy) override;
    void close() override;
    void showAbout() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void mirrorCheckBox(CheckBox& model, QCheckBox* widget);
    void syncCombo();
    void updatePolling();
    QRect outerRect() const;
    void watchPlacement();
    // Runs a handler of the form; an error that escapes it is told in a message box.
    void run(const std::function<void()>& handler);

    IDialogs& dialogs_;
    frmMain* form_ = nullptr;
    AboutFactory aboutFactory_;
    QPointer<AboutDialog> about_;

    QLabel* label7_ = nullptr;
    QLabel* label3_ = nullptr;
    QLabel* label8_ = nullptr;
    QLabel* label1_ = nullptr;
    QComboBox* combo18_ = nullptr;
    QPushButton* cmdReturn_ = nullptr;
    QCheckBox* checkOnTop_ = nullptr;
    QCheckBox* checkTRX_ = nullptr;
    QCheckBox* checkCommander_ = nullptr;
    QCheckBox* checkHRD_ = nullptr;
    QLineEdit* text3_ = nullptr;
    QLineEdit* text1_ = nullptr;
    QTimer* timer1_ = nullptr;

    // A new window is placed by the window manager once it is mapped; until then its position
    // is not known. Looked for every 50 ms after the first show.
    bool placed_ = false;
    QTimer* placementWatch_ = nullptr;
};

} // namespace veltaro::qt
