// The state feed through the Qt datagram sender to a real listener on the loopback
// (tools/feed_listen.py): every field and the sequence as another program parses them, a
// broadcast address, and what cannot be sent to.
#include "adapters/qt/network_qt.h"
#include "app/state_feed.h"
#include "base/identity.h"
#include "core/fakes.h"
#include "support/feed_listener.h"

namespace {

using namespace veltaro;
using support::FeedListener;

QString opening(int sequence) {
    return QString("program=\"Veltaro\"\tversion=\"%1\"\tsequence=%2\t")
        .arg(app::VersionText)
        .arg(sequence);
}

struct QtFeed {
    fake::Timers timers;
    qt::QtNetwork network;
    std::vector<std::string> notices;
    StateFeed feed{network.makeDatagramSender(), timers,
                   [this](const Notice& n) { notices.push_back(n.text); }};
};

TEST(QtStateFeed, AListenerReadsEveryFieldAndTheSequence) {
    FeedListener listener({"--count", "3"});
    ASSERT_NE(listener.port(), 0);
    QtFeed rig;
    ASSERT_TRUE(rig.feed.open({"127.0.0.1", listener.port()}));
    FeedSnapshot s;
    s.radioHz = 10368100000; // past 32 bits
    s.relayedHz = 14074000;
    s.relayedMHz = "14.074000";
    s.antennaState = AntennaStatus::State::Moving;
    s.antennaHz = 14074120;
    s.antennaDirection = steppir::Direction::ThreeQuarter;
    s.interlock = "inhibited";
    s.interlockReason = "not confirmed";
    s.source = "Caf\xc3\xa9 \"A\\B\"";
    s.link = LinkState::Lost;
    s.linkReason = "tab\there\nline\x01";
    rig.feed.update(s);
    s.link = LinkState::Linked;
    s.linkReason.clear();
    rig.feed.update(s);
    const QString moving = "radioHz=10368100000\trelayedHz=14074000\trelayedMHz=\"14.074000\"\t"
                           "antennaState=\"moving\"\tantennaHz=14074120\tantennaDirection=\"3/4\"\t"
                           "interlock=\"inhibited\"\tinterlockReason=\"not confirmed\"\t"
                           "source=\"Café \\\"A\\\\B\\\"\"\t";
    EXPECT_EQ(listener.waitForLines(3),
              (QStringList{
                  opening(1) + "radioHz=null\trelayedHz=null\trelayedMHz=null\tantennaState=\"no "
                               "feedback\"\tantennaHz=null\tantennaDirection=null\tinterlock="
                               "\"off\"\tinterlockReason=null\tsource=null\tlink=\"unlinked\"\t"
                               "linkReason=null",
                  opening(2) + moving + "link=\"lost\"\tlinkReason=\"tab\\there\\nline\\u0001\"",
                  opening(3) + moving + "link=\"linked\"\tlinkReason=null"}));
    EXPECT_TRUE(rig.notices.empty());
}

// Broadcast needs leave from the system (SO_BROADCAST); the sender has it. A name is refused.
TEST(QtStateFeed, SendsToABroadcastAddressAndRefusesAName) {
    FeedListener listener({"--host", "0.0.0.0", "--count", "1"});
    ASSERT_NE(listener.port(), 0);
    QtFeed rig;
    ASSERT_TRUE(rig.feed.open({"127.255.255.255", listener.port()}));
    const QStringList lines = listener.waitForLines(1);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].startsWith(opening(1))) << lines[0].toStdString();
    EXPECT_TRUE(rig.notices.empty());

    EXPECT_FALSE(rig.feed.open({"shack-pc", listener.port()}));
    EXPECT_EQ(rig.notices, std::vector<std::string>{"The state feed cannot send to "
                                                    "shack-pc:" +
                                                    std::to_string(listener.port()) +
                                                    ": shack-pc is a name: give a numeric "
                                                    "address"});
}

} // namespace
