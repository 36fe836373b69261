// RigctldSource against a scripted rigctld on loopback.
#include "fake_radios.h"
#include "rigctld_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using veltaro::support::spin;
using veltaro::support::waitUntil;

struct Script {
    const char* name;
    std::vector<std::optional<QByteArray>> replies; // one per "f", in order
    QList<qint64> published;
    int connections = 1; // more when a reply is a reason to give the connection up
};

void PrintTo(const Script& s, std::ostream* os) {
    *os << s.name;
}

class RigctldReplies : public ::testing::TestWithParam<Script> {};

TEST_P(RigctldReplies, PublishesOnlyGoodChangedValues) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script.assign(GetParam().replies.begin(), GetParam().replies.end());
    RigctldSource source("127.0.0.1", rig.port(), 10);
    source.setReplyTimeoutMs(500);
    Recorder rec(source);
    source.start();
    const int needed = int(GetParam().replies.size()) + 3;
    ASSERT_TRUE(waitUntil([&] { return rig.requests >= needed; }, 8000)) << rig.requests;
    EXPECT_EQ(rec.values, GetParam().published);
    EXPECT_EQ(rig.connections, GetParam().connections);
    EXPECT_EQ(rec.linesContaining("lost"), GetParam().connections - 1);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RigctldReplies,
    ::testing::Values(Script{"OnlyChangesGoOut",
                             {"14074000\n", "14074000\n", "14074000\n", "14080000\n", "14080000\n"},
                             {14074000, 14080000}},
                      Script{"ExtraVfoLine",
                             {"14074000\nVFOA\n", "14075000\nVFOA\n", "VFO: VFOB\n7074000\n"},
                             {14074000, 14075000, 7074000}},
                      Script{"ErrorReports",
                             {"RPRT -11\n", "RPRT -1\n", "7074000\n", "RPRT -5\n", "7074000\n"},
                             {7074000}},
                      Script{"Garbage",
                             {"garbage\n", "14.074\n", "-14074000\n", "0\n", "1.4074e7\n",
                              "\x01\xff\n", "7074000\n"},
                             {7074000}},
                      Script{"HalfLines",
                             {"1407|4000\n", "14|0|80000|\n", "3573000\r|\n"},
                             {14074000, 14080000, 3573000}},
                      Script{"CarriageReturns",
                             {"14074000\r\n", "RPRT 0\r\n", "7074000\r\n"},
                             {14074000, 7074000}},
                      Script{"EndlessLine",
                             {QByteArray(RigctldSource::MaxLine + 10, '1'), "7074000\n"},
                             {7074000},
                             2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RigctldSource, SilentServerNeverGetsASecondRequestAndIsDroppedAfterTheTimeout) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script = {QByteArray("14074000\n")};
    rig.otherwise = std::nullopt; // then silence
    RigctldSource source("127.0.0.1", rig.port(), 10);
    source.setReplyTimeoutMs(1500);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return rig.requests == 2; }, 3000));
    spin(1000); // a hundred poll intervals
    EXPECT_EQ(rig.requestsOnThisConnection, 2) << "one answered, one outstanding";
    EXPECT_EQ(rig.connections, 1);

    ASSERT_TRUE(waitUntil([&] { return rig.connections == 2; }, 6000));
    EXPECT_EQ(rec.linesContaining("lost (no reply for 1500 ms), reconnecting"), 1)
        << rec.lines.join('\n').toStdString();
    EXPECT_EQ(rec.values, QList<qint64>{14074000});
}

TEST(RigctldSource, ReportsOnceWhileAwayRepeatsOnlyWhileConnectedAndResumes) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.stop(); // not there yet: the port stays for listen() later
    rig.otherwise = QByteArray("14074000\n");
    RigctldSource source("127.0.0.1", rig.port(), 100);
    source.setKeepAliveMs(300);
    Recorder rec(source);
    source.start();
    spin(1500); // several refused attempts, reported once
    const QString at = QString("rigctld at 127.0.0.1:%1").arg(rig.port());
    EXPECT_EQ(rec.lines, (QStringList{"polling " + at + " every 100 ms",
                                      at + ": not reachable (Connection refused), retrying"}));
    ASSERT_TRUE(rig.listen());
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 3; }, 5000)); // and two keep-alives
    EXPECT_EQ(rec.values.count(14074000), 3);

    rig.stop();
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining("lost") == 1; }, 3000));
    spin(2500); // refused again, and reported by none of the attempts
    EXPECT_EQ(rec.values.size(), 3) << "a stale value was repeated while rigctld was away";
    EXPECT_EQ(rec.lines.size(), 4) << rec.lines.join('\n').toStdString(); // + connected, lost

    rig.otherwise = QByteArray("21074000\n");
    ASSERT_TRUE(rig.listen());
    ASSERT_TRUE(waitUntil([&] { return rec.values.contains(21074000); }, 5000));
    EXPECT_EQ(rec.linesContaining(": connected"), 2);
}

} // namespace
