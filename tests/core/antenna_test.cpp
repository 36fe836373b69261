// The antenna's closed loop over the controller's own protocol, against a scripted controller
// that decodes the frames written to it and answers status requests from the event loop.
#include "core/fakes.h"
#include "core/net_fakes.h"
#include "relay/antenna.h"

#include <gtest/gtest.h>

using namespace veltaro;
using Dir = steppir::Direction;
using State = AntennaStatus::State;

namespace {

// The frequency a set frame carries: three bytes of tens of Hz.
std::int64_t frameHz(const std::string& f) {
    const auto b = [&](int i) { return std::int64_t{static_cast<std::uint8_t>(f[i])}; };
    return (b(3) << 16 | b(4) << 8 | b(5)) * 10;
}

// The controller at the other end of the line: set frames move the elements (the status shows
// the new frequency at once, the motors run for moveMs); a status request is answered ReplyMs
// later.
struct Controller {
    static constexpr int ReplyMs = 20;
    Controller(fake::Timers& timers, test::FakeClock& clock)
        : clock(clock), replyTimer(timers.makeTimer([this] { answer(); })) {}

    bool write(const std::string& bytes) {
        frames.push_back({clock.now, bytes});
        if (echo)
            loop->received(bytes);
        if (bytes == "?A\r") {
            if (!silent && !replyTimer->running())
                replyTimer->start(ReplyMs);
        } else if (bytes.size() == 11 && bytes[8] == '1' && drop == 0) {
            move(frameHz(bytes));
            direction = static_cast<std::uint8_t>(bytes[7]);
        } else if (drop > 0) {
            --drop;
        }
        return true;
    }
    // The radio on Data In, or the operator's knob, sets the elements.
    void move(std::int64_t to) {
        hz = to;
        motorsUntil = clock.now + moveMs;
    }
    void answer() {
        replyTimer->stop();
        steppir::Status s;
        ++replies;
        s.busy = busyEvery > 0 && replies % busyEvery == 0;
        s.hz = hz + offsetHz;
        s.motorBits = clock.now < motorsUntil ? 0x0F : 0;
        s.directionByte = directionOverride.value_or(direction);
        s.version = "1A";
        loop->received(steppir::encodeStatus(s));
    }
    std::vector<std::int64_t> at(bool sets) const {
        std::vector<std::int64_t> times;
        for (const auto& [t, bytes] : frames)
            if ((bytes.size() == 11) == sets)
                times.push_back(t);
        return times;
    }
    std::vector<std::int64_t> setTimes() const { return at(true); }
    std::vector<std::int64_t> requestTimes() const { return at(false); }

    test::FakeClock& clock;
    std::unique_ptr<ITimer> replyTimer;
    AntennaLoop* loop = nullptr;
    std::vector<std::pair<std::int64_t, std::string>> frames;
    std::int64_t hz = 7000000, offsetHz = 0, motorsUntil = 0;
    int moveMs = 0;
    std::uint8_t direction = 0;
    std::optional<std::uint8_t> directionOverride;
    int drop = 0; // set frames to ignore
    bool silent = false;
    bool echo = false; // every byte written comes back at once
    int busyEvery = 0; // every n-th reply is FF
    int replies = 0;
};

struct Rig {
    explicit Rig(Dir direction = Dir::Normal)
        : loop(
              clock, timers, [this](const Notice& n) { notices.push_back(n.text); },
              [this](const std::string& b) { return controller.write(b); }, direction) {
        timers.clock = &clock.now;
        controller.loop = &loop;
        loop.setStatusHandler([this](const AntennaStatus& a) { shown.push_back(a); });
        loop.portOpened();
    }
    void run(std::int64_t ms) { timers.elapse(ms); }
    void nextReply() { // a minute at most, so that a controller never asked fails, not hangs
        const int n = controller.replies;
        for (int t = 0; controller.replies == n; ++t, run(1))
            ASSERT_LT(t, 60000) << "no reply";
    }
    // A target set and reached.
    void tuneTo(std::int64_t hz) {
        loop.setTarget(hz);
        ASSERT_TRUE(runUntil(State::Tuned));
    }
    // Moves on until the loop shows the state, at most `limit` ms.
    bool runUntil(State state, std::int64_t limit = 70000) {
        for (std::int64_t t = 0; loop.status().state != state; ++t) {
            if (t == limit)
                return false;
            run(1);
        }
        return true;
    }
    std::vector<std::int64_t> setHz() const {
        std::vector<std::int64_t> hz;
        for (const auto& [t, f] : controller.frames)
            if (f.size() == 11)
                hz.push_back(frameHz(f));
        return hz;
    }

    test::FakeClock clock;
    fake::Timers timers;
    std::vector<std::string> notices;
    std::vector<AntennaStatus> shown;
    Controller controller{timers, clock};
    AntennaLoop loop;
};

} // namespace

TEST(Antenna, SendsTheTargetRoundedAndConfirmsItOnTwoRepliesInARow) {
    Rig rig;
    rig.run(200);                                     // the first status asked for and answered
    EXPECT_EQ(rig.loop.status().state, State::Tuned); // no target: the motors stopped
    EXPECT_EQ(describeAntenna(rig.loop.status()), "tuned to 7.000 MHz");
    rig.loop.setTarget(14074005);
    EXPECT_EQ(rig.setHz(), std::vector<std::int64_t>{14074010}); // at once
    EXPECT_EQ(rig.loop.status().state, State::Moving);
    rig.loop.setTarget(14074004);
    rig.nextReply(); // the elements are there from the first reply on
    EXPECT_EQ(rig.setHz().back(), 14074000);
    EXPECT_EQ(rig.loop.status().hz, 14074000);
    EXPECT_EQ(rig.loop.status().state, State::Moving);
    rig.nextReply();
    EXPECT_EQ(rig.loop.status().state, State::Tuned);
    EXPECT_EQ(rig.loop.status().targetHz, 14074000);
}

TEST(Antenna, ReachedOnlyWithinTenHzWithTheMotorsStoppedAndTheChosenDirection) {
    struct Case {
        std::int64_t offsetHz;
        int moveMs;
        Dir chosen;
        std::optional<std::uint8_t> reportedDirection;
        bool tuned;
    };
    const Case cases[] = {
        {0, 0, Dir::Normal, {}, true},    {10, 0, Dir::Normal, {}, true},
        {-10, 0, Dir::Normal, {}, true},  {20, 0, Dir::Normal, {}, false},
        {-20, 0, Dir::Normal, {}, false}, {0, 100000, Dir::Normal, {}, false},
        {0, 0, Dir::Normal, 0x40, false}, {0, 0, Dir::Reverse, {}, true},
        {0, 0, Dir::Reverse, 0x44, true}, {0, 0, Dir::ThreeQuarter, 0x20, true},
        {0, 0, Dir::BiDir, 0x00, false},  {0, 0, Dir::Normal, 0x60, false}, // 0x60: unknown
    };
    for (const auto& c : cases) {
        Rig rig(c.chosen);
        rig.controller.offsetHz = c.offsetHz;
        rig.controller.moveMs = c.moveMs;
        rig.controller.directionOverride = c.reportedDirection;
        rig.loop.setTarget(14074000);
        rig.run(3000);
        const auto what = std::to_string(c.offsetHz) + " " + std::to_string(int(c.chosen));
        EXPECT_EQ(rig.loop.status().state, c.tuned ? State::Tuned : State::Moving) << what;
        EXPECT_EQ(rig.controller.direction, std::uint8_t(c.chosen)) << what; // in the set frame
        // The reported byte is kept, known or not.
        EXPECT_EQ(rig.loop.status().directionByte,
                  c.reportedDirection.value_or(std::uint8_t(c.chosen)))
            << what;
    }
}

TEST(Antenna, ADirectionChangeSendsTheTargetAgainWithIt) {
    Rig rig;
    rig.tuneTo(14074000);
    rig.loop.setDirection(Dir::BiDir);
    rig.run(AntennaLoop::MinFrameGapMs); // after the reply's request
    EXPECT_EQ(rig.setHz().size(), 2u);
    EXPECT_EQ(rig.controller.direction, 0x80);
    ASSERT_TRUE(rig.runUntil(State::Tuned));
    EXPECT_EQ(describeAntenna(rig.loop.status()), "tuned to 14.074 MHz, bi-directional");
}

TEST(Antenna, SendsAgainWhenNothingMovedAndTellsOnceAfterThreeTries) {
    Rig rig;
    rig.run(200);               // the first status asked for and answered
    rig.controller.drop = 1000; // the controller ignores every set frame
    rig.loop.setTarget(14074000);
    const std::int64_t sent = rig.clock.now;
    rig.run(2999);
    EXPECT_EQ(rig.setHz().size(), 1u);
    rig.run(1);
    EXPECT_EQ(rig.controller.setTimes(), (std::vector<std::int64_t>{sent, sent + 3000}));
    rig.run(5999);
    EXPECT_EQ(rig.setHz().size(), 3u);
    EXPECT_TRUE(rig.notices.empty());
    rig.run(1);
    EXPECT_EQ(rig.notices, std::vector<std::string>{
                               "The antenna controller did not reach 14.074 MHz after 3 tries. "
                               "Veltaro keeps trying; check the controller and its cable."});
    EXPECT_EQ(rig.setHz().size(), 4u); // and goes on trying, polling at the slow rate
    EXPECT_EQ(describeAntenna(rig.loop.status()), "tuned to 7.000 MHz"); // where it stays
    const std::size_t asked = rig.controller.requestTimes().size();
    rig.run(30000);
    EXPECT_GT(rig.setHz().size(), 10u);
    const auto polls = rig.controller.requestTimes();
    for (std::size_t i = asked; i < polls.size(); ++i)
        EXPECT_GE(polls[i] - polls[i - 1], AntennaLoop::IdlePollMs);
    // Told once, until a target is reached again.
    rig.loop.setTarget(14100000);
    rig.run(20000);
    EXPECT_EQ(rig.notices.size(), 1u);
    rig.controller.drop = 0;
    rig.run(8000);
    EXPECT_EQ(rig.loop.status().hz, 14100000);
    EXPECT_EQ(rig.loop.status().state, State::Tuned);
    rig.controller.drop = 1000;
    rig.loop.setTarget(14200000);
    rig.run(9000);
    EXPECT_EQ(rig.notices.size(), 2u);
}

// A frame lost while the motors still run toward the target before: they stop there, away from
// the new target, and the frame goes again as if nothing had moved.
TEST(Antenna, AFrameLostWhileTheMotorsRunGoesAgainOnceTheyStopElsewhere) {
    Rig rig;
    rig.run(200);
    rig.controller.moveMs = 1000;
    rig.loop.setTarget(14074000);
    rig.run(400); // running toward 14.074 MHz
    rig.controller.drop = 1;
    rig.loop.setTarget(14100000);
    const std::int64_t sent = rig.controller.setTimes().back();
    rig.run(AntennaLoop::ResendAfterMs + AntennaLoop::BusyPollMs);
    EXPECT_EQ(rig.setHz(), (std::vector<std::int64_t>{14074000, 14100000, 14100000}));
    EXPECT_GE(rig.controller.setTimes().back(), sent + AntennaLoop::ResendAfterMs);
    ASSERT_TRUE(rig.runUntil(State::Tuned, 3000));
    EXPECT_EQ(rig.loop.status().hz, 14100000);
}

TEST(Antenna, AnEchoedSetFrameIsNotTakenForAReply) {
    Rig rig;
    rig.run(200);
    rig.controller.echo = true;
    rig.controller.drop = 1;
    rig.loop.setTarget(14074000);
    rig.run(AntennaLoop::ResendAfterMs);
    EXPECT_EQ(rig.setHz().size(), 2u); // nothing moved: sent again
    EXPECT_EQ(rig.loop.status().hz, 7000000);
    rig.nextReply(); // the controller's first reply showing the target
    EXPECT_EQ(rig.loop.status().state, State::Moving);
    ASSERT_TRUE(rig.runUntil(State::Tuned));
}

TEST(Antenna, TellsOnceWhenTheTargetIsNotReachedWithinAMinute) {
    Rig rig;
    rig.run(200); // the first status asked for and answered
    rig.controller.moveMs = 120000;
    rig.loop.setTarget(14074000);
    rig.run(AntennaLoop::ArrivalLimitMs - 1);
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_EQ(rig.setHz().size(), 1u); // the motors run: nothing to send again
    rig.run(1);
    EXPECT_EQ(rig.notices,
              std::vector<std::string>{
                  "The antenna controller did not reach 14.074 MHz within 60 "
                  "seconds. Veltaro keeps trying; check the controller and its cable."});
    const std::size_t asked = rig.controller.requestTimes().size();
    ASSERT_TRUE(rig.runUntil(State::Tuned));
    EXPECT_EQ(rig.loop.status().hz, 14074000);
    const auto polls = rig.controller.requestTimes();
    for (std::size_t i = asked; i < polls.size(); ++i)
        EXPECT_EQ(polls[i] - polls[i - 1], AntennaLoop::IdlePollMs);
    EXPECT_EQ(rig.notices.size(), 1u);
}

TEST(Antenna, SendsOnlyTheNewestTargetAndLeavesAGapBetweenFrames) {
    Rig rig;
    rig.run(200); // the first status asked for and answered
    rig.loop.setTarget(14074000);
    rig.run(10);
    rig.loop.setTarget(14100000);
    rig.run(40);
    rig.loop.setTarget(14200000);
    EXPECT_EQ(rig.setHz(), std::vector<std::int64_t>{14074000});
    rig.run(50);
    EXPECT_EQ(rig.setHz(), (std::vector<std::int64_t>{14074000, 14200000}));
    const auto sets = rig.controller.setTimes();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1] - sets[0], AntennaLoop::MinFrameGapMs);
}

TEST(Antenna, AsksEveryThreeHundredMsUntilConfirmedAndEveryOneAndAHalfSecondsIdle) {
    Rig rig;
    rig.controller.moveMs = 2000;
    rig.run(2000);
    rig.loop.setTarget(14074000);
    rig.run(6000);
    std::vector<std::int64_t> gaps;
    const auto polls = rig.controller.requestTimes();
    for (std::size_t i = 1; i < polls.size(); ++i)
        gaps.push_back(polls[i] - polls[i - 1]);
    // Idle; the set frame and 100 ms after it; busy while the motors run and until two replies
    // show the target; idle again.
    const std::vector<std::int64_t> expected{1500, 600, 300, 300, 300,  300,
                                             300,  300, 300, 300, 1500, 1500};
    EXPECT_EQ(gaps, expected);
    const auto& frames = rig.controller.frames;
    for (std::size_t i = 1; i < frames.size(); ++i)
        EXPECT_GE(frames[i].first - frames[i - 1].first, AntennaLoop::MinFrameGapMs);
}

TEST(Antenna, ThreeUnansweredRequestsMakeItNotAnsweringAndAnAnswerBringsItBack) {
    Rig rig;
    rig.tuneTo(14074000);
    rig.controller.silent = true;
    const std::size_t asked = rig.controller.requestTimes().size();
    ASSERT_TRUE(rig.runUntil(State::NotAnswering));
    const auto polls = rig.controller.requestTimes();
    // Three asked in vain, one at a time, then a fourth as the state changes.
    ASSERT_EQ(polls.size(), asked + 4);
    EXPECT_EQ(polls.back(), rig.clock.now);
    for (std::size_t i = asked; i < polls.size(); ++i)
        EXPECT_EQ(polls[i] - polls[i - 1], AntennaLoop::IdlePollMs);
    EXPECT_EQ(rig.shown.end()[-2].state, State::Tuned); // nothing in between
    EXPECT_FALSE(rig.loop.status().hz);
    EXPECT_EQ(describeAntenna(rig.loop.status()), "not answering");
    // Back, perhaps restarted: the target goes again.
    rig.controller.silent = false;
    rig.controller.move(7000000);
    rig.run(1600);
    EXPECT_NE(rig.loop.status().state, State::NotAnswering);
    EXPECT_EQ(rig.setHz(), (std::vector<std::int64_t>{14074000, 14074000}));
    ASSERT_TRUE(rig.runUntil(State::Tuned));
    EXPECT_EQ(rig.loop.status().hz, 14074000);
}

TEST(Antenna, BusyRepliesAnswerButShowNothingAndBreakTheRow) {
    Rig rig;
    rig.controller.busyEvery = 1; // every reply FF
    rig.run(6000);
    EXPECT_EQ(rig.loop.status().state, State::Unknown);
    rig.controller.busyEvery = 0;
    rig.run(1500);
    EXPECT_EQ(rig.loop.status().state, State::Tuned);
    rig.controller.busyEvery = 2; // every other reply FF
    rig.loop.setTarget(14074000);
    rig.run(10000);
    EXPECT_EQ(rig.loop.status().state, State::Moving);
    EXPECT_EQ(rig.loop.status().hz, 14074000);
    for (const auto& a : rig.shown)
        EXPECT_NE(a.state, State::NotAnswering);
    rig.controller.busyEvery = 0;
    ASSERT_TRUE(rig.runUntil(State::Tuned, 1000));
}

TEST(Antenna, TheRadioMovingTheAntennaIsShownAndNotFought) {
    Rig rig;
    rig.tuneTo(14074000);
    const std::size_t sets = rig.setHz().size();
    rig.controller.moveMs = 2000;
    rig.controller.move(14079000); // from Data In
    ASSERT_TRUE(rig.runUntil(State::Moving, 2000));
    EXPECT_EQ(describeAntenna(rig.loop.status()), "moving to 14.079 MHz");
    ASSERT_TRUE(rig.runUntil(State::Tuned));
    EXPECT_EQ(describeAntenna(rig.loop.status()), "tuned to 14.079 MHz");
    rig.run(70000);
    EXPECT_EQ(rig.setHz().size(), sets);
    EXPECT_TRUE(rig.notices.empty());
    EXPECT_EQ(rig.loop.status().hz, 14079000);
}

TEST(Antenna, APortLostAndBackIsUnknownThenTheTargetGoesAgain) {
    Rig rig;
    rig.tuneTo(14074000);
    rig.loop.portClosed();
    EXPECT_EQ(rig.loop.status().state, State::Unknown);
    EXPECT_FALSE(rig.loop.status().hz);
    const std::size_t frames = rig.controller.frames.size();
    rig.run(10000);
    EXPECT_EQ(rig.controller.frames.size(), frames);
    rig.controller.move(7000000); // restarted elsewhere
    rig.loop.portOpened();
    EXPECT_EQ(rig.loop.status().state, State::Unknown);
    EXPECT_EQ(rig.setHz().back(), 14074000);
    EXPECT_EQ(rig.controller.setTimes().back(), rig.clock.now);
    ASSERT_TRUE(rig.runUntil(State::Tuned));
    EXPECT_EQ(rig.loop.status().hz, 14074000);
}

TEST(Antenna, DescribedInWords) {
    using S = AntennaStatus;
    const std::pair<S, const char*> cases[] = {
        {S{}, "no feedback on Data In"},
        {S{State::Unknown, {}, 14074000, {}, 0, false}, "unknown"},
        {S{State::NotAnswering, {}, {}, {}, 0, false}, "not answering"},
        {S{State::Moving, 7100000, 14225000, Dir::Normal, 0, false}, "moving to 14.225 MHz"},
        {S{State::Moving, 14225000, 7100000, Dir::Normal, 0, true}, "moving to 14.225 MHz"},
        {S{State::Tuned, 14074000, {}, Dir::Normal, 0, false}, "tuned to 14.074 MHz"},
        {S{State::Tuned, 7000120, {}, Dir::Reverse, 0x40, false}, "tuned to 7.00012 MHz, 180°"},
        {S{State::Tuned, 28500000, {}, Dir::BiDir, 0x80, false},
         "tuned to 28.500 MHz, bi-directional"},
        {S{State::Tuned, 7040000, {}, Dir::ThreeQuarter, 0x20, false},
         "tuned to 7.040 MHz, 3/4 wave"},
        {S{State::Tuned, 7040000, {}, {}, 0xE4, false},
         "tuned to 7.040 MHz, direction unknown (0xE4)"},
    };
    for (const auto& [status, text] : cases)
        EXPECT_EQ(describeAntenna(status), text);
}
