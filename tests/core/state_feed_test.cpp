// The state feed: the JSON object for each kind of snapshot, when datagrams go out (on a change,
// 10 s after the last one, never for a state told twice), the sequence, a failing sender told
// once, and the feed's address in the settings.
#include "app/settings.h"
#include "app/state_feed.h"
#include "base/identity.h"
#include "core/fakes.h"
#include "core/net_fakes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace veltaro;

namespace {

using Texts = std::vector<std::string>;

// The object's fixed opening, then the rest as the case gives it.
std::string expected(std::uint64_t sequence, const std::string& rest) {
    return std::string("{\"program\":\"Veltaro\",\"version\":\"") + app::VersionText +
           "\",\"sequence\":" + std::to_string(sequence) + "," + rest + "}";
}

TEST(FeedJson, EveryFieldOfEachKindOfSnapshot) {
    FeedSnapshot nothing; // at start: nothing read, relayed or chosen
    FeedSnapshot linked;  // a SteppIR controller tuned, the interlock permitting
    linked.radioHz = 14074123;
    linked.relayedHz = 14074000;
    linked.relayedMHz = "14.074000";
    linked.antennaState = AntennaStatus::State::Tuned;
    linked.antennaHz = 14074120;
    linked.antennaDirection = steppir::Direction::Reverse;
    linked.interlock = "permitted";
    linked.source = "Hamlib";
    linked.link = LinkState::Linked;
    FeedSnapshot lost = linked; // past 4 GHz, the source lost, the interlock inhibiting
    lost.radioHz = 10368100000;
    lost.antennaState = AntennaStatus::State::Moving;
    lost.antennaDirection = steppir::Direction::ThreeQuarter;
    lost.interlock = "inhibited";
    lost.interlockReason = "not confirmed";
    lost.link = LinkState::Lost;
    lost.linkReason = "connection refused";
    FeedSnapshot odd = lost; // texts that JSON must escape
    odd.source = "A \"quoted\" C:\\path";
    odd.linkReason = std::string("tab\there\nline\r\x01\x1f\x7f end");
    odd.interlockReason = "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x93\xa1"; // UTF-8 passes as it is
    odd.interlock = "failed";
    odd.antennaState = AntennaStatus::State::NotAnswering;
    odd.antennaDirection = std::nullopt;
    FeedSnapshot broken = odd; // bytes that are no UTF-8: each becomes U+FFFD
    broken.linkReason = "caf\xe9 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe2\x82";
    broken.antennaState = AntennaStatus::State::Unknown;
    broken.antennaDirection = steppir::Direction::BiDir;
    FeedSnapshot normal = linked;
    normal.antennaDirection = steppir::Direction::Normal;
    normal.link = LinkState::Linking;
    FeedSnapshot failed = linked;
    failed.link = LinkState::Failed;
    failed.linkReason = "192.0.2.7 is not an address of this computer";
    failed.source = "N1MM UDP";
    failed.antennaState = AntennaStatus::State::NoFeedback;

    const std::tuple<const char*, FeedSnapshot, std::uint64_t, std::string> cases[] = {
        {"nothing yet", nothing, 1,
         R"("radioHz":null,"relayedHz":null,"relayedMHz":null,"antennaState":"no feedback",)"
         R"("antennaHz":null,"antennaDirection":null,"interlock":"off","interlockReason":null,)"
         R"("source":null,"link":"unlinked","linkReason":null)"},
        {"linked", linked, 2,
         R"("radioHz":14074123,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"tuned","antennaHz":14074120,"antennaDirection":"180",)"
         R"("interlock":"permitted","interlockReason":null,"source":"Hamlib","link":"linked",)"
         R"("linkReason":null)"},
        {"lost", lost, 18446744073709551615u,
         R"("radioHz":10368100000,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"moving","antennaHz":14074120,"antennaDirection":"3/4",)"
         R"("interlock":"inhibited","interlockReason":"not confirmed","source":"Hamlib",)"
         R"("link":"lost","linkReason":"connection refused")"},
        {"escaped", odd, 3,
         R"("radioHz":10368100000,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"not answering","antennaHz":14074120,"antennaDirection":null,)"
         "\"interlock\":\"failed\",\"interlockReason\":\"caf\xc3\xa9 \xe2\x82\xac "
         "\xf0\x9f\x93\xa1\","
         R"("source":"A \"quoted\" C:\\path","link":"lost",)"
         R"("linkReason":"tab\there\nline\r\u0001\u001f)"
         "\x7f"
         R"( end")"},
        {"not UTF-8", broken, 4,
         R"("radioHz":10368100000,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"unknown","antennaHz":14074120,"antennaDirection":"BiDir",)"
         "\"interlock\":\"failed\",\"interlockReason\":\"caf\xc3\xa9 \xe2\x82\xac "
         "\xf0\x9f\x93\xa1\","
         R"("source":"A \"quoted\" C:\\path","link":"lost",)"
         R"("linkReason":"caf\ufffd \ufffd\ufffd \ufffd\ufffd\ufffd )"
         R"(\ufffd\ufffd\ufffd\ufffd \ufffd\ufffd")"},
        {"normal, linking", normal, 5,
         R"("radioHz":14074123,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"tuned","antennaHz":14074120,"antennaDirection":"Normal",)"
         R"("interlock":"permitted","interlockReason":null,"source":"Hamlib","link":"linking",)"
         R"("linkReason":null)"},
        {"failed", failed, 6,
         R"("radioHz":14074123,"relayedHz":14074000,"relayedMHz":"14.074000",)"
         R"("antennaState":"no feedback","antennaHz":14074120,"antennaDirection":"180",)"
         R"("interlock":"permitted","interlockReason":null,"source":"N1MM UDP",)"
         R"("link":"failed","linkReason":"192.0.2.7 is not an address of this computer")"},
    };
    for (const auto& [name, snapshot, sequence, rest] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(feedJson(snapshot, sequence), expected(sequence, rest));
    }
}

struct FeedRig {
    fake::Timers timers;
    test::FakeNetwork network;
    Texts notices;
    StateFeed feed{network.makeDatagramSender(), timers,
                   [this](const Notice& n) { notices.push_back(n.text); }};
    test::FakeDatagramSender& sender = *network.sender;

    // The sequence numbers of the datagrams sent so far.
    std::vector<std::uint64_t> sequences() const {
        std::vector<std::uint64_t> out;
        for (const auto& d : sender.sent) {
            const auto at = d.find("\"sequence\":") + 11;
            out.push_back(std::stoull(d.substr(at, d.find(',', at) - at)));
        }
        return out;
    }
};

FeedSnapshot tunedTo(std::int64_t hz) {
    FeedSnapshot s;
    s.radioHz = hz;
    s.antennaState = AntennaStatus::State::Tuned;
    return s;
}

// A datagram at opening, on every change, and 10 s after the last one; a state told again is
// no change; the sequence goes on across a close and an open at another address.
TEST(StateFeed, SendsOnEachChangeAndTenSecondsAfterTheLast) {
    FeedRig rig;
    rig.feed.update(tunedTo(7074000)); // not open yet: kept, not sent
    EXPECT_EQ(rig.sender.attempts, 0);
    ASSERT_TRUE(rig.feed.open({"127.0.0.1", 12070}));
    EXPECT_EQ(rig.sender.to.port, 12070);
    ASSERT_EQ(rig.sender.sent.size(), 1u);
    EXPECT_EQ(rig.sender.sent[0], feedJson(tunedTo(7074000), 1));

    rig.timers.elapse(4000);
    rig.feed.update(tunedTo(7074000));
    EXPECT_EQ(rig.sender.sent.size(), 1u);
    rig.feed.update(tunedTo(14074000));
    EXPECT_EQ(rig.sender.sent.back(), feedJson(tunedTo(14074000), 2));
    rig.timers.elapse(StateFeed::RepeatMs - 1); // 10 s after the change, not after the opening
    EXPECT_EQ(rig.sender.sent.size(), 2u);
    rig.timers.elapse(1);
    EXPECT_EQ(rig.sender.sent.back(), feedJson(tunedTo(14074000), 3));
    rig.timers.elapse(2 * StateFeed::RepeatMs);
    EXPECT_EQ(rig.sequences(), (std::vector<std::uint64_t>{1, 2, 3, 4, 5}));

    rig.feed.close();
    EXPECT_FALSE(rig.sender.isOpen);
    rig.timers.elapse(3 * StateFeed::RepeatMs);
    rig.feed.update(tunedTo(21074000));
    EXPECT_EQ(rig.sender.sent.size(), 5u);
    ASSERT_TRUE(rig.feed.open({"127.0.0.1", 12071}));
    EXPECT_EQ(rig.sender.to.port, 12071);
    EXPECT_EQ(rig.sender.sent.back(), feedJson(tunedTo(21074000), 6));
}

// A send that fails is dropped and told once; the sequence counts it, so that a listener sees
// the gap. Told again only after a send succeeded in between.
TEST(StateFeed, AFailingSendIsDroppedAndToldOnceUntilOneSucceeds) {
    FeedRig rig;
    rig.sender.failure = "network unreachable";
    ASSERT_TRUE(rig.feed.open({"239.255.120.70", 12070}));
    rig.feed.update(tunedTo(7074000));
    rig.timers.elapse(3 * StateFeed::RepeatMs);
    EXPECT_EQ(rig.sender.attempts, 5);
    EXPECT_TRUE(rig.sender.sent.empty());
    EXPECT_EQ(rig.notices,
              Texts{"The state feed could not send to 239.255.120.70:12070: network unreachable"});
    rig.sender.failure.clear();
    rig.feed.update(tunedTo(14074000));
    EXPECT_EQ(rig.sequences(), std::vector<std::uint64_t>{6});
    rig.sender.failure = "no room to send";
    rig.timers.elapse(2 * StateFeed::RepeatMs);
    EXPECT_EQ(rig.notices.size(), 2u);
    EXPECT_EQ(rig.notices.back(),
              "The state feed could not send to 239.255.120.70:12070: no room to send");
    EXPECT_EQ(rig.sender.attempts, 8);
}

// An address that cannot be sent to is told, and the feed stays closed: nothing is sent and no
// timer runs.
TEST(StateFeed, AnAddressThatCannotBeSentToIsToldAndLeavesTheFeedClosed) {
    FeedRig rig;
    rig.sender.refusal = "shack-pc is a name: give a numeric address";
    EXPECT_FALSE(rig.feed.open({"shack-pc", 12070}));
    EXPECT_FALSE(rig.feed.isOpen());
    EXPECT_EQ(rig.notices, Texts{"The state feed cannot send to shack-pc:12070: shack-pc is a "
                                 "name: give a numeric address"});
    rig.feed.update(tunedTo(7074000));
    EXPECT_FALSE(rig.timers.running(StateFeed::RepeatMs));
    EXPECT_EQ(rig.sender.attempts, 0);
}

TEST(FeedSettings, TheAddressIsOffEmptyOrReadAsHostAndPort) {
    const std::tuple<std::string, std::optional<NetAddress>, std::string> cases[] = {
        {"", std::nullopt, ""},
        {"  ", std::nullopt, ""},
        {"127.0.0.1:12070", NetAddress{"127.0.0.1", 12070}, ""},
        {" 12070 ", NetAddress{"127.0.0.1", 12070}, ""},
        {"127.0.0.1:99999", std::nullopt,
         "[Feed] Address \"127.0.0.1:99999\" cannot be used: expected [HOST:]PORT with PORT "
         "from 1 to 65535"},
    };
    for (const auto& [stored, address, problem] : cases) {
        SCOPED_TRACE(stored);
        fake::SettingsStore store;
        store.values["Veltaro/Feed/Address"] = stored;
        FailureNotice notice([](const Notice&) {});
        Settings settings(store, notice, NumberFormat{});
        std::string why;
        const auto read = settings.readFeedAddress(&why);
        EXPECT_EQ(read.has_value(), address.has_value());
        if (read && address) {
            EXPECT_EQ(read->host, address->host);
            EXPECT_EQ(read->port, address->port);
        }
        EXPECT_EQ(why, problem);
    }
}

} // namespace
