// Responsibilities: the live state of one control of a described window (its text, a box's
// value, a list's items, greyed or emphasised, its tooltip), what the user does with it (click,
// pick, edit), and the handling that the window's logic attaches to it.
// Collaborations: the window models (view/main_window_model, view/about_box,
// view/address_dialog) own one per entry of their window's description (view/window_layout);
// the front ends mirror each Control into its widget and forward the user's actions to it.
#pragma once

#include "base/signal.h"
#include "view/window_layout.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace veltaro {

// A check box's state, stored in the settings as its number.
enum class Check : std::int16_t { Clear = 0, Ticked = 1, Greyed = 2 };

// How a status line stands out: not at all, as a caution (amber: the antenna moves) or as an
// alarm (red: the radio must not transmit).
enum class Emphasis { None, Caution, Alarm };

class Control {
public:
    using Handler = std::function<void()>;

    explicit Control(const layout::ControlSpec& design) : design_(&design), text_(design.caption) {}

    const layout::ControlSpec& design() const { return *design_; }
    const char* name() const { return design_->name; }

    // A label's caption, a text box's text, the port list's edit text or the item a drop-down
    // list shows. Setting it runs no handling.
    const std::string& text() const { return text_; }
    void setText(std::string t);

    // A check box's state. Setting one that differs runs the box's handling at once, nested in
    // the step that set it.
    Check check() const { return check_; }
    bool ticked() const { return check_ == Check::Ticked; }
    void setCheck(Check c);

    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items);

    // Greyed (false) or not; and the hint shown when the pointer rests on the control (empty:
    // none). Setting them runs no handling.
    bool enabled() const { return enabled_; }
    void setEnabled(bool on);
    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string text);
    // Whether and how the control stands out from the others (a status line that asks for
    // attention); setEmphasised(true) is a caution. Setting it runs no handling.
    Emphasis emphasis() const { return emphasis_; }
    void setEmphasis(Emphasis e);
    bool emphasised() const { return emphasis_ != Emphasis::None; }
    void setEmphasised(bool on) { setEmphasis(on ? Emphasis::Caution : Emphasis::None); }

    // The user asked for the control's context menu (a right click): runs the handler, if any.
    void setContextHandler(Handler h) { contextHandler_ = std::move(h); }
    bool hasContextMenu() const { return static_cast<bool>(contextHandler_); }
    void contextMenu() const {
        if (contextHandler_)
            contextHandler_();
    }

    // The window's logic: runs on the user's click, pick or edit, and when a box's value changes.
    void setHandler(Handler h) { handler_ = std::move(h); }
    // The front end: told after every change of text, value or items.
    Signal& changed() { return changed_; }

    // The user's actions. A click toggles a box (ticked becomes clear, anything else ticked) or
    // presses a button; a pick takes the item's text into the list's edit text; an edit is the
    // user typing into a text box.
    void click();
    void pick(std::size_t index);
    void edit(std::string text);

private:
    void handle() const {
        if (handler_)
            handler_();
    }

    const layout::ControlSpec* design_;
    std::string text_;
    Check check_ = Check::Clear;
    std::vector<std::string> items_;
    bool enabled_ = true;
    std::string toolTip_;
    Emphasis emphasis_ = Emphasis::None;
    Handler handler_;
    Handler contextHandler_;
    Signal changed_;
};

// The controls of one described window, found by name.
class ControlSet {
public:
    explicit ControlSet(const layout::WindowSpec& window);
    Control& operator[](std::string_view name);
    std::vector<Control>& all() { return controls_; }

private:
    std::vector<Control> controls_;
};

} // namespace veltaro
