#include "relay/antenna.h"

#include <algorithm>
#include <limits>

namespace veltaro {

namespace {

constexpr std::int64_t LongAgo = std::numeric_limits<std::int64_t>::min() / 2;
// How far the status may be from the target and still show it.
constexpr std::int64_t ToleranceHz = 10;
// How many replies in a row must show the target.
constexpr int RepliesToConfirm = 2;

std::int64_t roundTo10Hz(std::int64_t hz) {
    return (hz + 5) / 10 * 10;
}

// A set frame that comes back (a line or serial server that echoes) reads as a reply whose
// version bytes are the set command and 00: it is not the controller's.
bool isEcho(const steppir::Status& s) {
    return s.version == std::string{static_cast<char>(steppir::Command::Set), '\0'};
}

bool near(std::int64_t a, std::int64_t b) {
    return a - b <= ToleranceHz && b - a <= ToleranceHz;
}

} // namespace

std::string antennaMHzText(std::int64_t hz) {
    const std::int64_t whole = hz / 1000000;
    std::string fraction = std::to_string(hz % 1000000 + 1000000).substr(1);
    while (fraction.size() > 3 && fraction.back() == '0')
        fraction.pop_back();
    return std::to_string(whole) + "." + fraction;
}

std::string describeAntenna(const AntennaStatus& a) {
    using State = AntennaStatus::State;
    std::string text;
    switch (a.state) {
    case State::NoFeedback:
        return "no feedback on Data In";
    case State::Unknown:
        return "unknown";
    case State::NotAnswering:
        return "not answering";
    case State::Moving: {
        // Where the running motors take the elements, else the target not yet confirmed.
        const auto to = a.motorsRunning && a.hz ? a.hz : a.targetHz ? a.targetHz : a.hz;
        text = to ? "moving to " + antennaMHzText(*to) + " MHz" : "moving";
        break;
    }
    case State::Tuned:
        text = a.hz ? "tuned to " + antennaMHzText(*a.hz) + " MHz" : "tuned";
        break;
    }
    if (!a.direction) {
        static const char Hex[] = "0123456789ABCDEF";
        return text + ", direction unknown (0x" + Hex[a.directionByte >> 4] +
               Hex[a.directionByte & 0x0F] + ")";
    }
    switch (*a.direction) {
    case steppir::Direction::Normal:
        return text;
    case steppir::Direction::Reverse:
        return text + ", 180°";
    case steppir::Direction::BiDir:
        return text + ", bi-directional";
    case steppir::Direction::ThreeQuarter:
        return text + ", 3/4 wave";
    }
    return text;
}

// The loop runs on one timer: after each event it works out when it next has something to do
// (a frame that may go once the gap has passed, a status request, an answer given up on, a
// resend, the arrival limit) and sets the timer to that moment.
struct AntennaLoop::State {
    State(AntennaLoop& owner, IClock& clock, ITimers& timers, NoticeSink notices, Send send,
          steppir::Direction direction)
        : owner(owner), clock(clock), notices(std::move(notices)), send(std::move(send)),
          direction(direction), timer(timers.makeTimer([this] { service(); })) {}

    void service();
    void schedule(std::int64_t now);
    int pollInterval() const;
    bool unconfirmed() const { return target && !confirmed; }
    void newCycle();
    void checkAnswer(std::int64_t now);
    void checkProgress(std::int64_t now);
    void giveUp(const std::string& why);
    void sendSet(std::int64_t now);
    void sendRequest(std::int64_t now);
    void take(const steppir::Status& s);
    void takeValid(const steppir::Status& s);
    void lose();
    void publish();

    AntennaLoop& owner;
    IClock& clock;
    NoticeSink notices;
    Send send;
    steppir::Direction direction;
    StatusHandler onStatus;
    std::unique_ptr<ITimer> timer;
    steppir::StatusDecoder decoder;

    bool open = false;
    std::int64_t quietUntil = LongAgo; // no frame before this
    // Status requests: the one awaited, and the count of those never answered.
    bool awaiting = false;
    std::int64_t requestAt = LongAgo;
    int unanswered = 0;
    std::optional<steppir::Status> last; // the last valid status since the controller answered

    // The newest target and how far it got.
    std::optional<std::int64_t> target;
    bool pending = false; // waits for the wire
    bool confirmed = false;
    bool gaveUp = false; // the user was told (or would have been): slow rate
    bool mayTell = true; // cleared once told, set again by a confirmed target
    int tries = 0;
    int inRow = 0; // replies in a row that showed the target
    std::int64_t firstSetAt = 0, lastSetAt = 0;
    bool moved = false; // something moved since the last set frame
    std::optional<std::int64_t> hzBeforeSet;
};

int AntennaLoop::State::pollInterval() const {
    const bool busy = unconfirmed() && !gaveUp && unanswered < MaxUnanswered;
    return busy ? BusyPollMs : IdlePollMs;
}

void AntennaLoop::State::newCycle() {
    pending = target.has_value();
    confirmed = false;
    gaveUp = false;
    tries = 0;
    inRow = 0;
    moved = false;
}

void AntennaLoop::State::service() {
    if (!open) {
        timer->stop();
        return;
    }
    const std::int64_t now = clock.nowMs();
    checkAnswer(now);
    checkProgress(now);
    if (now >= quietUntil) {
        if (pending)
            sendSet(now);
        else if (!awaiting && now >= requestAt + pollInterval())
            sendRequest(now);
    }
    if (open)
        schedule(now);
}

void AntennaLoop::State::schedule(std::int64_t now) {
    std::int64_t due = requestAt + pollInterval();
    if (!awaiting)
        due = std::max(due, quietUntil);
    if (pending)
        due = std::min(due, quietUntil);
    if (unconfirmed() && tries > 0 && !pending) {
        if (!moved)
            due = std::min(due, lastSetAt + ResendAfterMs);
        if (!gaveUp)
            due = std::min(due, firstSetAt + ArrivalLimitMs);
    }
    timer->start(static_cast<int>(std::clamp<std::int64_t>(due - now, 1, IdlePollMs)));
}

// A request not answered before the next one would be due is given up on.
void AntennaLoop::State::checkAnswer(std::int64_t now) {
    if (!awaiting || now < requestAt + pollInterval())
        return;
    awaiting = false;
    if (++unanswered == MaxUnanswered) {
        last.reset();
        decoder.reset();
        inRow = 0;
        publish();
    }
}

// A set frame after which nothing moved goes again; after the last try, or past the arrival
// limit, the user is told.
void AntennaLoop::State::checkProgress(std::int64_t now) {
    if (!unconfirmed() || tries == 0 || pending)
        return;
    if (!moved && now >= lastSetAt + ResendAfterMs) {
        if (tries >= MaxTries)
            giveUp(" after " + std::to_string(MaxTries) + " tries");
        pending = true;
    } else if (!gaveUp && now >= firstSetAt + ArrivalLimitMs) {
        giveUp(" within " + std::to_string(ArrivalLimitMs / 1000) + " seconds");
    }
}

void AntennaLoop::State::giveUp(const std::string& why) {
    if (gaveUp)
        return;
    gaveUp = true;
    if (mayTell && notices) {
        mayTell = false;
        notices({"The antenna controller did not reach " + antennaMHzText(*target) + " MHz" + why +
                     ". Veltaro keeps trying; check the controller and its cable.",
                 NoticeTiming::Posted});
    }
    publish();
}

void AntennaLoop::State::sendSet(std::int64_t now) {
    const auto frame = steppir::encodeSetFrame(*target, direction);
    pending = false;
    ++tries;
    if (tries == 1)
        firstSetAt = now;
    lastSetAt = now;
    moved = false;
    inRow = 0;
    hzBeforeSet = last ? std::optional(last->hz) : std::nullopt;
    quietUntil = now + MinFrameGapMs;
    if (!send(*frame)) {
        // Not written: it goes again once the line takes bytes, tried at the poll rate.
        pending = true;
        --tries;
        quietUntil = now + BusyPollMs;
    }
}

void AntennaLoop::State::sendRequest(std::int64_t now) {
    awaiting = true;
    requestAt = now;
    quietUntil = now + MinFrameGapMs;
    if (!send(steppir::statusRequest()))
        awaiting = false; // tried again at the poll rate
}

void AntennaLoop::State::take(const steppir::Status& s) {
    if (isEcho(s))
        return;
    awaiting = false;
    const bool returned = unanswered >= MaxUnanswered;
    unanswered = 0;
    if (s.busy)
        inRow = 0; // the other fields say nothing
    else
        takeValid(s);
    if (returned && target) {
        // Back after a silence, perhaps restarted: the current target goes again.
        newCycle();
    }
    publish();
    service();
}

void AntennaLoop::State::takeValid(const steppir::Status& s) {
    last = s;
    if (!target || pending || tries == 0)
        return;
    const bool atTarget = near(s.hz, *target);
    moved = moved || s.motorsRunning || atTarget || (hzBeforeSet && s.hz != *hzBeforeSet);
    // Motors stopped away from the target ran toward an earlier one: the frame was not taken,
    // and goes again as if nothing had moved.
    if (!atTarget && !s.motorsRunning)
        moved = false;
    if (confirmed)
        return;
    if (atTarget && !s.motorsRunning && s.direction == direction)
        ++inRow;
    else
        inRow = 0;
    if (inRow >= RepliesToConfirm) {
        confirmed = true;
        mayTell = true;
    }
}

void AntennaLoop::State::lose() {
    awaiting = false;
    unanswered = 0;
    last.reset();
    decoder.reset();
    inRow = 0;
}

void AntennaLoop::State::publish() {
    AntennaStatus a;
    a.targetHz = target;
    if (!open || !last) {
        a.state = open && unanswered >= MaxUnanswered ? AntennaStatus::State::NotAnswering
                                                      : AntennaStatus::State::Unknown;
    } else {
        a.hz = last->hz;
        a.direction = last->direction;
        a.directionByte = last->directionByte;
        a.motorsRunning = last->motorsRunning;
        const bool toward = unconfirmed() && !gaveUp;
        a.state =
            a.motorsRunning || toward ? AntennaStatus::State::Moving : AntennaStatus::State::Tuned;
    }
    if (a == owner.status_)
        return;
    owner.status_ = a;
    if (onStatus)
        onStatus(owner.status_);
}

AntennaLoop::AntennaLoop(IClock& clock, ITimers& timers, NoticeSink notices, Send send,
                         steppir::Direction direction)
    : s_(std::make_unique<State>(*this, clock, timers, std::move(notices), std::move(send),
                                 direction)) {
    status_.state = AntennaStatus::State::Unknown;
}

AntennaLoop::~AntennaLoop() = default;

void AntennaLoop::setStatusHandler(StatusHandler onStatus) {
    s_->onStatus = std::move(onStatus);
}

void AntennaLoop::setDirection(steppir::Direction direction) {
    if (direction == s_->direction)
        return;
    s_->direction = direction;
    s_->newCycle();
    s_->publish();
    s_->service();
}

void AntennaLoop::setTarget(std::int64_t hz) {
    const std::int64_t rounded = roundTo10Hz(hz);
    if (hz < 0 || rounded > steppir::MaxHz)
        return; // no frame holds it
    if (s_->target == rounded)
        return; // already on its way or there: the same relay again (start-up relays twice)
    s_->target = rounded;
    s_->newCycle();
    s_->publish();
    s_->service();
}

void AntennaLoop::portOpened() {
    s_->open = true;
    s_->lose();
    s_->requestAt = LongAgo;
    s_->newCycle();
    s_->publish();
    s_->service();
}

void AntennaLoop::portClosed() {
    s_->open = false;
    s_->lose();
    s_->timer->stop();
    s_->publish();
}

void AntennaLoop::received(std::string_view bytes) {
    if (!s_->open)
        return;
    for (auto s = s_->decoder.feed(bytes); s && s_->open; s = s_->decoder.next())
        s_->take(*s);
}

} // namespace veltaro
