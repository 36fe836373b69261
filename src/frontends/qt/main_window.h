// Responsibilities: the Qt main window: the menu bar and client area built from the main
// window's description, and the window itself for its model (IWindowHost: outer geometry in
// twips, the height below the menu bar, keep-above, closing, the one About dialog, the modal
// address dialog). Closing it by any route unloads the model.
// Collaborations: main.cpp creates it before the MainWindowModel and attaches the two; the
// About dialog comes from the factory main.cpp sets.
#pragma once

#include "view/window_host.h"

#include <QMainWindow>
#include <QPointer>
#include <QRect>

#include <functional>

class QTimer;

namespace veltaro {
class MainWindowModel;
}

namespace veltaro::qt {

class AboutDialog;

class QtMainWindow : public QMainWindow, public IWindowHost {
    Q_OBJECT
public:
    // Makes a new, loaded About dialog (without parent); called when none is open.
    using AboutFactory = std::function<AboutDialog*()>;

    explicit QtMainWindow(QWidget* parent = nullptr);
    ~QtMainWindow() override;

    // Builds the widgets of the model's window and forwards the user's actions to it. Call
    // once, before model.load(); the model must outlive the window's event handling.
    void attach(veltaro::MainWindowModel& model);
    void setAboutFactory(AboutFactory factory) { aboutFactory_ = std::move(factory); }
    AboutDialog* aboutDialog() const { return about_; }

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
    void setKeepAbove(bool above, PixelRect outer) override;
    void close() override;
    void showAbout() override;
    void showAddressDialog(veltaro::AddressDialogModel& dialog) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void buildMenu();
    void watchPlacement();
    QRect outerRect() const;

    veltaro::MainWindowModel* model_ = nullptr;
    AboutFactory aboutFactory_;
    QPointer<AboutDialog> about_;
    // A new window is placed by the window manager once it is mapped; until then its position
    // is not known. Looked for every 50 ms after the first show.
    bool placed_ = false;
    QTimer* placementWatch_ = nullptr;
};

} // namespace veltaro::qt
