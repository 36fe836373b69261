#include "view/control.h"

#include <stdexcept>

namespace veltaro {

void Control::setText(std::string t) {
    if (t == text_)
        return;
    text_ = std::move(t);
    changed_.notify();
}

void Control::setCheck(Check c) {
    if (c == check_)
        return;
    check_ = c;
    changed_.notify();
    if (design_->kind == layout::Kind::CheckBox)
        handle();
}

void Control::setItems(std::vector<std::string> items) {
    items_ = std::move(items);
    changed_.notify();
}

void Control::click() {
    if (design_->kind == layout::Kind::CheckBox)
        setCheck(check_ == Check::Ticked ? Check::Clear : Check::Ticked);
    else
        handle();
}

void Control::pick(std::size_t index) {
    if (index >= items_.size())
        return;
    setText(items_[index]);
    handle();
}

void Control::edit(std::string text) {
    setText(std::move(text));
    handle();
}

ControlSet::ControlSet(const layout::WindowSpec& window) {
    controls_.reserve(window.controls.size());
    for (const auto& design : window.controls)
        controls_.emplace_back(design);
}

Control& ControlSet::operator[](std::string_view name) {
    for (auto& c : controls_)
        if (name == c.name())
            return c;
    throw std::logic_error("no control named " + std::string(name));
}

void Control::setEnabled(bool on) {
    if (enabled_ == on)
        return;
    enabled_ = on;
    changed_.notify();
}

void Control::setToolTip(std::string text) {
    if (toolTip_ == text)
        return;
    toolTip_ = std::move(text);
    changed_.notify();
}

void Control::setEmphasis(Emphasis e) {
    if (emphasis_ == e)
        return;
    emphasis_ = e;
    changed_.notify();
}

} // namespace veltaro
