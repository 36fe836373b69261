// RigctldSource against a scripted rigctld on loopback.
#include "bus_fixture.h"
#include "fake_radios.h"
#include "rigctld_source.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace {

using namespace testing_support;

struct Script {
    const char* name;
    std::vector<std::optional<QByteArray>> replies; // one per "f", in order
    QList<qint64> published;
};

void PrintTo(const Script& s, std::ostream* os) {
    *os << s.name;
}

class RigctldReplies : public ::testing::TestWithParam<Script> {};

TEST_P(RigctldReplies, PublishesOnlyGoodChangedValues) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    for (const auto& r : GetParam().replies)
        rig.script.push_back(r);
    RigctldSource source(QStringLiteral("127.0.0.1"), rig.port(), 10);
    source.setReplyTimeoutMs(500);
    Recorder rec(source);
    source.start();
    const int needed = static_cast<int>(GetParam().replies.size()) + 3;
    ASSERT_TRUE(waitUntil([&] { return rig.requests >= needed; }, 8000)) << rig.requests;
    EXPECT_EQ(rec.values, GetParam().published);
    // Nothing in the scripts is a reason to give the connection up.
    EXPECT_EQ(rig.connections, 1);
    EXPECT_EQ(rec.linesContaining(QStringLiteral("lost")), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Scripts, RigctldReplies,
    ::testing::Values(Script{"Plain", {"14074000\n"}, {14074000}},
                      Script{"OnlyChangesGoOut",
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
                             {14074000, 7074000}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RigctldSource, SilentServerNeverGetsASecondRequestAndIsDroppedAfterTheTimeout) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script = {QByteArray("14074000\n")};
    rig.otherwise = std::nullopt; // then silence
    RigctldSource source(QStringLiteral("127.0.0.1"), rig.port(), 10);
    source.setReplyTimeoutMs(1500);
    Recorder rec(source);

    // The caller's event loop keeps turning while the source waits for an answer.
    QElapsedTimer clock;
    qint64 lastTick = 0, longestGap = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, clock.elapsed() - lastTick);
        lastTick = clock.elapsed();
    });
    clock.start();
    ticker.start(10);
    source.start();

    ASSERT_TRUE(waitUntil([&] { return rig.requests == 2; }, 3000));
    spin(1000); // a hundred poll intervals
    EXPECT_EQ(rig.requestsOnThisConnection, 2) << "one answered, one outstanding";
    EXPECT_EQ(rig.connections, 1);
    EXPECT_LT(longestGap, 1000);

    ASSERT_TRUE(waitUntil([&] { return rig.connections == 2; }, 6000));
    EXPECT_EQ(rec.linesContaining(QStringLiteral("lost (no reply for 1500 ms), reconnecting")), 1)
        << rec.lines.join('\n').toStdString();
    EXPECT_EQ(rec.values, QList<qint64>{14074000});
}

TEST(RigctldSource, ResumesByItselfWhenRigctldComesBack) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.otherwise = QByteArray("14074000\n");
    RigctldSource source(QStringLiteral("127.0.0.1"), rig.port(), 20);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 1; }, 3000));

    rig.stop();
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining(QStringLiteral("lost")) == 1; }, 3000));
    spin(2500); // several refused attempts
    EXPECT_EQ(rec.values.size(), 1) << "nothing is published while rigctld is away";
    EXPECT_EQ(rec.lines.size(), 3)
        << rec.lines.join('\n').toStdString(); // polling, connected, lost

    rig.otherwise = QByteArray("14074000\n"); // the radio did not move
    ASSERT_TRUE(rig.listen());
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 2; }, 5000));
    EXPECT_EQ(rec.values, (QList<qint64>{14074000, 14074000}))
        << "the first reading after a reconnection goes out even when unchanged";
    EXPECT_EQ(rec.linesContaining(QStringLiteral(": connected")), 2);

    rig.otherwise = QByteArray("21074000\n");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 3; }, 3000));
    EXPECT_EQ(rec.values.back(), 21074000);
}

TEST(RigctldSource, ReportsAnUnreachableRigctldOnceWhileRetrying) {
    quint16 port = 0;
    {
        FakeRigctld probe; // a port that nobody listens on any more
        ASSERT_TRUE(probe.listen());
        port = probe.port();
    }
    RigctldSource source(QStringLiteral("127.0.0.1"), port, 100);
    Recorder rec(source);
    source.start();
    spin(2000);
    ASSERT_EQ(rec.lines.size(), 2) << rec.lines.join('\n').toStdString();
    EXPECT_EQ(rec.lines[0],
              QStringLiteral("polling rigctld at 127.0.0.1:%1 every 100 ms").arg(port));
    EXPECT_EQ(rec.lines[1],
              QStringLiteral("rigctld at 127.0.0.1:%1: not reachable (Connection refused), "
                             "retrying")
                  .arg(port));
    EXPECT_TRUE(rec.values.isEmpty());
}

TEST(RigctldSource, RepeatsTheValueAsKeepAliveOnlyWhileConnected) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.otherwise = QByteArray("7074000\n");
    RigctldSource source(QStringLiteral("127.0.0.1"), rig.port(), 20);
    source.setKeepAliveMs(200);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() >= 4; }, 3000));
    for (qint64 v : rec.values)
        EXPECT_EQ(v, 7074000);

    rig.stop();
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining(QStringLiteral("lost")) == 1; }, 3000));
    const auto before = rec.values.size();
    spin(800);
    EXPECT_EQ(rec.values.size(), before) << "a stale value is not repeated";
}

TEST(RigctldSource, DropsAConnectionThatSendsAnEndlessLine) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script = {QByteArray(RigctldSource::MaxLine + 10, '1')};
    rig.otherwise = QByteArray("7074000\n");
    RigctldSource source(QStringLiteral("127.0.0.1"), rig.port(), 20);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return !rec.values.isEmpty(); }, 5000));
    EXPECT_EQ(rec.values, QList<qint64>{7074000});
    EXPECT_EQ(rig.connections, 2);
}

} // namespace
