// Responsibilities: a notification with any number of listeners, told in the order they
// subscribed.
// Collaborations: the controls of a described window tell the front ends of their changes
// through it; the About box tells its title.
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace veltaro {

class Signal {
public:
    using Listener = std::function<void()>;
    void subscribe(Listener l) { listeners_.push_back(std::move(l)); }
    void notify() const {
        for (const auto& l : listeners_)
            l();
    }

private:
    std::vector<Listener> listeners_;
};

} // namespace veltaro
