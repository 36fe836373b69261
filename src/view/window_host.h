// Responsibilities: what the main window's logic needs of the window itself: its geometry in
// twips, the screen's twips-per-pixel factors, the keep-above placement, closing, and showing
// the About dialog and the address dialog.
// Collaborations: view/main_window_model and view/keep_above call it; each front end
// (frontends/qt, frontends/win32) implements it for its real window, tests use a fake.
#pragma once

namespace veltaro {

class AddressDialogModel;

// A rectangle in pixels, screen coordinates.
struct PixelRect {
    int left, top, width, height;
};

class IWindowHost {
public:
    virtual ~IWindowHost() = default;

    // Outer rectangle in twips (frame, title bar and menu bar included), screen coordinates.
    virtual double left() const = 0;
    virtual double top() const = 0;
    virtual double width() const = 0;
    virtual double height() const = 0;
    virtual void setLeft(double twips) = 0;
    virtual void setTop(double twips) = 0;
    // Height of the area below the menu bar, in twips; the outer height follows from the frame
    // and the menu bar that the platform draws.
    virtual void setClientHeight(double twips) = 0;
    // False while the window has not been placed on the screen yet (a window manager places a
    // new window only when it is first shown), so that left() and top() mean nothing yet.
    virtual bool placed() const = 0;

    virtual double twipsPerPixelX() const = 0;
    virtual double twipsPerPixelY() const = 0;

    // Gives the window the outer rectangle, puts it into (above) or out of the always-above
    // band, without activating it, and shows it if it is still hidden.
    virtual void setKeepAbove(bool above, PixelRect outer) = 0;

    // Closes the main window; the front end runs MainWindowModel::unload as the window closes.
    virtual void close() = 0;

    // Shows the one About dialog modeless and without owner, loading it first when it is not
    // loaded; an open dialog is shown again.
    virtual void showAbout() = 0;

    // Shows the address dialog modal over the main window and returns once it is closed. The
    // dialog is built from dialog.layout() with dialog.title() in its title bar and the address
    // box focused; its controls are mirrored both ways, OK and Cancel run dialog.run(command),
    // closing it any other way runs dialog.run(Command::Cancel), and the dialog closes when
    // dialog.finishedSignal() is told. Timers, links and the serial line go on being served
    // meanwhile.
    virtual void showAddressDialog(AddressDialogModel& dialog) = 0;
};

} // namespace veltaro
