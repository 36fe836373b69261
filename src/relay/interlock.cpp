#include "relay/interlock.h"

#include "base/errors.h"

#include <algorithm>
#include <cstdlib>

namespace veltaro {

using Reason = InterlockState::Reason;
using Kind = InterlockState::Kind;

const char* reasonText(Reason reason) {
    switch (reason) {
    case Reason::None:
        return "";
    case Reason::Starting:
        return "starting";
    case Reason::ControllerNotOpen:
        return "controller not open";
    case Reason::Unknown:
        return "unknown";
    case Reason::NotAnswering:
        return "not answering";
    case Reason::Moving:
        return "moving";
    case Reason::NotConfirmed:
        return "not confirmed";
    case Reason::Hold:
        return "hold after a command";
    case Reason::CannotOpen:
        return "cannot open";
    case Reason::CannotDrive:
        return "cannot drive the line";
    }
    return "";
}

std::string InterlockState::text() const {
    switch (kind) {
    case Kind::Off:
        return "off";
    case Kind::Permitted:
        return "permitted";
    case Kind::Inhibited:
        return std::string("inhibited: ") + reasonText(reason);
    case Kind::Failed:
        return std::string("failed: ") + reasonText(reason);
    }
    return "";
}

Interlock::Interlock(IModemLine& line, ITimers& timers, IClock& clock, NoticeSink notices)
    : line_(line), clock_(clock), notices_(std::move(notices)), deadline_(timers.makeTimer([this] {
          deadline_->stop();
          update();
      })),
      retry_(timers.makeTimer([this] { retry(); })) {}

Interlock::~Interlock() {
    onState_ = nullptr;
    stop();
}

void Interlock::start(const InterlockSetup& setup, Path path) {
    stop();
    setup_ = setup;
    path_ = path;
    started_ = true;
    controllerWasOpen_ = controllerOpen_;
    told_ = false;
    if (setup_.port) {
        openLine();
        retry_->start(RetryMs);
    }
    update();
}

void Interlock::stop() {
    deadline_->stop();
    retry_->stop();
    if (line_.isOpen()) {
        try {
            line_.set(setup_.line, !permitLevel());
        } catch (const PortError&) {
            // Closing is all that is left; most drivers drop the line then.
        }
        line_.close();
    }
    started_ = false;
    driven_.reset();
    failure_.reset();
    publish({});
}

void Interlock::setPath(Path path) {
    path_ = path;
    update();
}

void Interlock::controllerOpened() {
    controllerOpen_ = true;
    controllerWasOpen_ = true;
    update();
}

void Interlock::controllerClosed() {
    controllerOpen_ = false;
    update();
}

void Interlock::antennaChanged(const AntennaStatus& status) {
    antenna_ = status;
    if (pendingHz_ && status.state == AntennaStatus::State::Tuned && status.targetHz &&
        std::llabs(*status.targetHz - *pendingHz_) < 10) {
        pendingHz_.reset();
        settleUntil_ = clock_.nowMs() + SettleMs;
    }
    update();
}

void Interlock::faCommandSent() {
    holdUntil_ = clock_.nowMs() + setup_.holdMs;
    update();
}

void Interlock::setFrameSent(std::int64_t targetHz) {
    pendingHz_ = targetHz;
    update();
}

Reason Interlock::inhibitReason(std::int64_t now) const {
    if (!controllerOpen_)
        return controllerWasOpen_ ? Reason::ControllerNotOpen : Reason::Starting;
    if (path_ == Path::Fa)
        return now < holdUntil_ ? Reason::Hold : Reason::None;
    return antennaReason(now);
}

Reason Interlock::antennaReason(std::int64_t now) const {
    switch (antenna_.state) {
    case AntennaStatus::State::NoFeedback:
    case AntennaStatus::State::Unknown:
        return Reason::Unknown;
    case AntennaStatus::State::NotAnswering:
        return Reason::NotAnswering;
    case AntennaStatus::State::Moving:
    case AntennaStatus::State::Tuned:
        break;
    }
    if (antenna_.motorsRunning)
        return Reason::Moving;
    if (pendingHz_ || antenna_.state == AntennaStatus::State::Moving || now < settleUntil_)
        return Reason::NotConfirmed;
    return Reason::None;
}

void Interlock::update() {
    if (!started_ || !setup_.port) {
        publish({});
        return;
    }
    if (failure_) {
        publish({Kind::Failed, *failure_});
        return;
    }
    const std::int64_t now = clock_.nowMs();
    const Reason why = inhibitReason(now);
    try {
        drive(why == Reason::None ? permitLevel() : !permitLevel());
    } catch (const PortError& e) {
        fail(Reason::CannotDrive, e.what());
        return;
    }
    told_ = false; // a failure from now on is a new one
    armDeadline(now);
    publish(why == Reason::None ? InterlockState{Kind::Permitted, Reason::None}
                                : InterlockState{Kind::Inhibited, why});
}

void Interlock::drive(bool level) {
    if (driven_ == level)
        return;
    driven_.reset(); // until the line has taken it
    line_.set(setup_.line, level);
    driven_ = level;
}

void Interlock::openLine() {
    try {
        line_.open(*setup_.port);
    } catch (const PortError& e) {
        fail(Reason::CannotOpen, e.what());
        return;
    }
    try {
        // The driver may have raised the lines as it opened the device.
        driven_.reset();
        drive(!permitLevel());
    } catch (const PortError& e) {
        fail(Reason::CannotDrive, e.what());
        return;
    }
    failure_.reset();
}

void Interlock::fail(Reason reason, const std::string& detail) {
    failure_ = reason;
    driven_.reset();
    deadline_->stop();
    if (line_.isOpen())
        line_.close();
    publish({Kind::Failed, reason});
    if (told_)
        return;
    told_ = true;
    const char* what = reason == Reason::CannotOpen ? "opened" : "driven";
    notices_({std::string("The transmit-inhibit line cannot be ") + what + ": " + detail,
              NoticeTiming::Posted});
}

void Interlock::retry() {
    if (failure_) {
        openLine();
        update();
        return;
    }
    if (!driven_)
        return;
    // Driving the line again finds an adapter that went away.
    try {
        line_.set(setup_.line, *driven_);
    } catch (const PortError& e) {
        fail(Reason::CannotDrive, e.what());
    }
}

void Interlock::armDeadline(std::int64_t now) {
    std::int64_t next = Never;
    for (const std::int64_t until : {holdUntil_, settleUntil_})
        if (until > now && (next == Never || until < next))
            next = until;
    if (next == Never) {
        deadline_->stop();
        return;
    }
    // A timer that ticks early finds the time not yet come and is armed again.
    deadline_->start(
        static_cast<int>(std::min<std::int64_t>(next - now, std::int64_t{RetryMs} * 60)));
}

void Interlock::publish(InterlockState state) {
    if (state == state_)
        return;
    state_ = state;
    if (onState_)
        onState_(state_);
}

} // namespace veltaro
