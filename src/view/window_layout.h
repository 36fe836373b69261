// Responsibilities: what the program's windows are made of, described once for every front end:
// each control's name, kind, caption, place in twips, tab index and font, the menu bar, the
// designed client size, and the conversion of twips to pixels.
// Collaborations: the window models (view/main_window_model, view/about_box,
// view/address_dialog) keep one Control per entry; the front ends (frontends/qt,
// frontends/win32) create their widgets from these tables, in tab order, and mirror the
// Controls.
#pragma once

#include "sources/registrations.h"

#include <span>
#include <vector>

namespace veltaro::layout {

// Left, top, width, height in twips (1440 to the inch) within the window's client area.
struct TwipsRect {
    double left, top, width, height;
};

enum class Kind {
    FrequencyDisplay, // a bordered label, centred, in the frequency font
    Caption,          // a label, centred
    Text,             // a label, left-aligned, wrapped at word boundaries
    PortList,         // a drop-down list with an editable text
    DropDownList,     // a drop-down list whose text is one of its items, picked, never typed
    StatusLine,       // a bordered label, centred, wrapped at word boundaries; it stands out
                      // while its Control is emphasised: bold text on amber for a caution,
                      // on red for an alarm
    Button,
    DefaultButton, // Enter presses it, and Esc too in a window without a CancelButton
    CancelButton,  // Esc presses it
    CheckBox,
    TextBox, // a single-line edit field
    Icon,    // the window's picture
    Line,    // a drawn line from (left, top) to (left + width, top + height)
};

// What a menu item or a button does; the window's logic runs it.
enum class Command { None, Exit, Setup, HideSetup, HelpIndex, About, Ok, SystemInfo, Cancel };

struct Font {
    const char* family = nullptr; // nullptr: the platform's dialog font
    double points = 0;
};

struct ControlSpec {
    const char* name;
    Kind kind;
    const char* caption; // the text shown when the window is created
    TwipsRect rect;
    int tabIndex; // labels and lines take no focus but keep their place in the order
    Command command = Command::None;
    Font font = {};
    unsigned rgb = 0; // lines only: colour as 0xRRGGBB
    int pen = 0;      // lines only: width in pixels
};

struct MenuItem {
    const char* name;
    const char* caption; // "&" marks the access key
    bool onBar;          // on the menu bar itself; otherwise in the last pop-up before it
    Command command;     // Command::None: a pop-up menu
};

struct WindowSpec {
    const char* name;
    double clientWidth; // designed client area below the menu bar, in twips
    double clientHeight;
    std::span<const ControlSpec> controls;
    std::span<const MenuItem> menu;
};

const WindowSpec& mainWindow();
// The main window's source boxes: which box stands for which source.
struct SourceBox {
    SourceId source;
    const char* box;
};
std::span<const SourceBox> sourceBoxes();
const WindowSpec& aboutBox();
// Where a network source links: a prompt, the address box ("addressText"), OK and Cancel.
const WindowSpec& addressDialog();

// The main window's client area below the menu bar: expanded, the setup panel is in view down to
// its last box and the text boxes below it stay hidden; collapsed, the two frequency rows, the
// antenna's line and the transmit-inhibit line's are in view. The designed outer heights were
// 1455 and 3105 twips with a frame, title bar and menu bar of 690, before the three network boxes
// added 720 to the panel, the antenna's and the transmit-inhibit line's status 540 each to both
// heights, the controller's three lists 1080 and the transmit-inhibit line's four lists 1440 to
// the panel; the area below the menu bar is what counts, whatever a platform draws around it.
inline constexpr double MainCollapsedHeight = 1845;
inline constexpr double MainExpandedHeight = 6735;

// The About box opens with its client area's top-left corner here on the screen.
inline constexpr double AboutScreenLeft = 2340;
inline constexpr double AboutScreenTop = 1935;

// Twips to whole pixels, rounded to nearest, halves away from zero.
int toPixels(double twips, double twipsPerPixel);

// The controls that take the focus, in tab order.
std::vector<const ControlSpec*> tabOrder(const WindowSpec& window);

// Whether a control of the kind takes the keyboard focus.
bool takesFocus(Kind kind);

} // namespace veltaro::layout
