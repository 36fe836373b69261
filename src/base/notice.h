// Responsibilities: a message for the user, and how it is shown: at once and waited for (the
// step that tells it goes on once it is dismissed), or posted (shown once the running step has
// returned, while timers, links and the serial line go on being served).
// Collaborations: the relay, the settings and the source selector tell notices through a
// NoticeSink; the relay session hands them to its observers (a message box in the window, a line
// without one).
#pragma once

#include <functional>
#include <string>

namespace veltaro {

enum class NoticeTiming { AtOnce, Posted };

struct Notice {
    std::string text;
    NoticeTiming timing = NoticeTiming::Posted;
};

using NoticeSink = std::function<void(const Notice&)>;

} // namespace veltaro
