// Responsibilities: builds the child windows of a described window (view/window_layout) on a
// parent window: created in tab order (the order Tab follows), labels and the icon too but
// without a tab stop, each at its place in twips converted at the screen's DPI, in the dialog
// font or the described one, as Unicode windows showing the Controls' UTF-8 texts; mirrors every
// Control into its window (text, value, items, greyed or not, its tooltip, and an emphasised
// label's bold text on amber, or white on red for an alarm), hands the user's clicks, picks, edits,
// context-menu requests and the buttons' commands back to it, and draws the described lines.
// Collaborations: Win32MainWindow and AboutWindow build their client areas with it and pass it
// their WM_COMMAND and WM_PAINT; the Controls belong to the models (MainWindowModel, AboutBox), and
// their changes after this object has gone are ignored.
#pragma once

#include "view/control.h"
#include "view/window_layout.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace veltaro::win32 {

// Twips per pixel of the screen (15 at 96 dpi) and the conversion of described places.
struct Scale {
    double x = 15;
    double y = 15;

    static Scale ofScreen();
    int pixelsX(double twips) const { return layout::toPixels(twips, x); }
    int pixelsY(double twips) const { return layout::toPixels(twips, y); }
    // Left, top, right and bottom in pixels; width and height are converted on their own.
    RECT pixels(const layout::TwipsRect& twips) const;
};

// UTF-8, the Controls' texts, to UTF-16 and back.
std::wstring wide(const std::string& utf8);
std::string utf8(const std::wstring& text);
// The window text in UTF-8, as the user left it.
std::string windowText(HWND h);

class ControlWindows {
public:
    // A control's child window ID: FirstId plus its index in the window's description.
    static constexpr int FirstId = 100;
    static int idOf(std::size_t index) { return FirstId + static_cast<int>(index); }

    using CommandHandler = std::function<void(layout::Command)>;

    // Creates the child windows of parent; icon is shown by the Icon control.
    ControlWindows(HWND parent, const layout::WindowSpec& window, ControlSet& controls,
                   CommandHandler onCommand, HICON icon = nullptr);
    // Destroys the child windows it made, then their fonts.
    ~ControlWindows();
    ControlWindows(const ControlWindows&) = delete;
    ControlWindows& operator=(const ControlWindows&) = delete;

    // The child window of the named control; nullptr for a line or an unknown name.
    HWND window(std::string_view name) const;

    // A WM_COMMAND from a child window: the user's action goes to its Control. False when the
    // ID belongs to none of these controls.
    bool command(int id, int code);

    // A WM_CONTEXTMENU that reached the parent from one of these windows: true when its Control
    // has a context menu, which has then run.
    bool contextMenu(HWND from);
    // The tooltip window of these controls.
    HWND toolTips() const { return tips_; }

    // Runs as the port list drops down (CBN_DROPDOWN), before it shows its items.
    void setListOpening(std::function<void()> opening) { listOpening_ = std::move(opening); }

    // Draws the described lines; call from the parent's WM_PAINT.
    void paintLines(HDC dc) const;
    // The parent's WM_CTLCOLORSTATIC: the brush behind an emphasised label, its colours set on
    // dc; nullptr for any other window.
    HBRUSH colour(HWND from, HDC dc);

private:
    struct Child {
        Control* control;
        HWND hwnd;
        std::vector<std::string> items;     // a list's items as shown
        std::string tip;                    // the tooltip as shown
        Emphasis emphasis = Emphasis::None; // as shown
        HFONT normal = nullptr;             // the font without and with emphasis, once emphasised
        HFONT bold = nullptr;
    };

    HWND create(Control& control, int id, HICON icon);
    void mirror(Child& child);
    void mirrorList(Child& child);
    void fitList(const Child& child) const;
    void showEmphasis(Child& child);
    void showTip(Child& child, int id);
    HFONT fontFor(const layout::Font& font);

    HWND parent_;
    const layout::WindowSpec& window_;
    Scale scale_;
    CommandHandler onCommand_;
    std::function<void()> listOpening_;
    std::map<int, Child> children_; // by ID
    HWND tips_ = nullptr;
    std::vector<HFONT> fonts_; // the dialog font first, then the described ones and bold twins
    HBRUSH amber_ = nullptr;   // behind emphasised labels, made when first needed
    HBRUSH red_ = nullptr;     // behind alarms, likewise
    // Set while a window shows a change of its Control, so that the change echoed back by the
    // window is not taken for the user's.
    bool mirroring_ = false;
    // Lets the Controls' change listeners outlive this object harmlessly.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The window procedure of a window whose object comes as the creation parameter: the object
// learns its handle at WM_NCCREATE and handles every later message. The class befriends it.
template <class Window> LRESULT CALLBACK forwardToWindow(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
        SetWindowLongPtrA(h, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        static_cast<Window*>(cs->lpCreateParams)->hwnd_ = h;
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrA(h, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(h, msg, wp, lp);
    return self->handle(msg, wp, lp);
}

} // namespace veltaro::win32
