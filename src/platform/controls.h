// Responsibilities: small models of the window's controls (label, text box, check box, combo box,
// timer). They hold the state that the handlers read and write; a front end mirrors them.
// Collaborations: the handlers in shell/, sources/, relay/ and about/ own and change them; a
// front end subscribes to their changes and forwards the user's actions (click, pick, tick).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace veltaro {

// Change listeners; a front end subscribes once per control.
class Observable {
public:
    using Listener = std::function<void()>;
    void subscribe(Listener l) { listeners_.push_back(std::move(l)); }

protected:
    void notify() const {
        for (const auto& l : listeners_)
            l();
    }

private:
    std::vector<Listener> listeners_;
};

// A bare notification that any owner may raise.
class Signal : public Observable {
public:
    using Observable::notify;
};

class Label : public Observable {
public:
    const std::string& caption() const { return caption_; }
    void setCaption(std::string c) {
        if (c == caption_)
            return;
        caption_ = std::move(c);
        notify();
    }

private:
    std::string caption_;
};

class TextBox : public Observable {
public:
    const std::string& text() const { return text_; }
    void setText(std::string t) {
        if (t == text_)
            return;
        text_ = std::move(t);
        notify();
    }

private:
    std::string text_;
};

// A check box whose click handling runs whenever its value changes, by the user or by code,
// nested inside the step that changed it. Setting the value it already has runs nothing.
class CheckBox : public Observable {
public:
    using Handler = std::function<void()>;

    std::int16_t value() const { return value_; }
    void setClickHandler(Handler h) { onClick_ = std::move(h); }

    void setValue(std::int16_t v) {
        if (v == value_)
            return;
        value_ = v;
        notify();
        if (onClick_)
            onClick_();
    }
    // The user's click: unticked becomes ticked, anything else becomes unticked.
    void click() { setValue(value_ == 1 ? 0 : 1); }

private:
    std::int16_t value_ = 0;
    Handler onClick_;
};

// A drop-down list with an editable text. Setting the text runs nothing; picking an item sets
// the text to the item and runs the selection handling.
class ComboBox : public Observable {
public:
    using Handler = std::function<void()>;

    const std::string& text() const { return text_; }
    const std::vector<std::string>& items() const { return items_; }
    void setItems(std::vector<std::string> items) {
        items_ = std::move(items);
        notify();
    }
    void setText(std::string t) {
        if (t == text_)
            return;
        text_ = std::move(t);
        notify();
    }
    void setClickHandler(Handler h) { onClick_ = std::move(h); }
    void pick(std::size_t index) {
        if (index >= items_.size())
            return;
        setText(items_[index]);
        if (onClick_)
            onClick_();
    }

private:
    std::string text_;
    std::vector<std::string> items_;
    Handler onClick_;
};

// A millisecond timer. The front end runs the tick handler while it is enabled.
class Timer : public Observable {
public:
    explicit Timer(int intervalMs = 0, bool enabled = false)
        : interval_(intervalMs), enabled_(enabled) {}
    bool enabled() const { return enabled_; }
    int interval() const { return interval_; }
    void setEnabled(bool on) {
        if (on == enabled_)
            return;
        enabled_ = on;
        notify();
    }

private:
    int interval_;
    bool enabled_;
};

} // namespace veltaro
