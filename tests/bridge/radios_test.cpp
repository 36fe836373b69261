// The polled radios of the bridge: addresses, reconnection delays, and RigctldSource and
// FlrigSource against scripted servers on loopback. Their protocols' texts are tested in
// tests/core/rig_protocols_test.cpp; the bridge program in front of a real rigctld in tests/e2e.
#include "fake_radios.h"
#include "host_port.h"
#include "test_support.h"

namespace {

using namespace testing_support;
using namespace veltaro::support;

// The bridge program's answer to a bad address is checked in BridgeProcess.
TEST(Backoff, DoublesUpToTheCapAndStartsOverAfterReset) {
    bridge::Backoff b(100, 2000);
    for (int delay : {100, 200, 400, 800, 1600, 2000, 2000})
        EXPECT_EQ(b.next(), delay);
    b.reset();
    EXPECT_EQ(b.next(), 100);
}

// Scripts of the replies to the successive "f" (split at '#'; a '|' splits one reply across two
// reads), and what gets published, with " skipped" when a reply was reported as skipped. Lines of
// a VFO or blank belong to a reply; a malformed one ends it; an endless one ends the connection.
TEST(RigctldSource, PublishesOnlyGoodChangedValues) {
    const std::pair<const char*, const char*> scripts[] = {
        {"14074000\n#14074000\n#14074000\n#14080000\n#14080000\n", "14074000 14080000"},
        {"14074000\nVFOA\n#Frequency: 14075000\ncurrVFO\n\n#VFO: VFOB\n7074000\n",
         "14074000 14075000 7074000"},
        {"RPRT -11\n#RPRT -1\n#7074000\n#RPRT -5\n#7074000\n", "7074000 skipped"},
        {"garbage\n#14.074\n#-14074000\n#0\n#1.4074e7\n#\x01\xff\n#RPRT x\n#RPRT\n#Frequency:\n"
         "#get_freq:\n#VFOZ\n#145000000 VFOA\n#7074000\n",
         "7074000 skipped"},
        {"1407|4000\n#14|0|80000|\n#3573000\r|\n", "14074000 14080000 3573000"},
        {"14074000\r\n#RPRT 0\r\n#7074000\r\n", "14074000 7074000"},
        {"endless#7074000\n", "7074000 skipped"}};
    for (const auto& [script, outcome] : scripts) {
        SCOPED_TRACE(script);
        Rigctld rig(10);
        for (const QByteArray& reply : QByteArray(script).split('#'))
            rig.script.push_back(reply == "endless" ? QByteArray(RigctldSource::MaxLine + 10, '1')
                                                    : reply);
        rig.otherwise = QByteArray("RPRT 0\n"); // then nothing to publish, nothing wrong
        const int connections = rig.script.front()->size() > RigctldSource::MaxLine ? 2 : 1;
        const int needed = int(rig.script.size()) + 3;
        rig.source.setReplyTimeoutMs(500);
        rig.source.start();
        ASSERT_TRUE(waitUntil([&] { return rig.requests >= needed; }, 8000)) << rig.requests;
        QStringList values;
        for (qint64 hz : rig.values)
            values << QString::number(hz);
        if (rig.linesContaining("skipped") > 0)
            values << "skipped";
        EXPECT_EQ(values.join(' ').toStdString(), outcome) << rig.all();
        EXPECT_EQ(rig.connections, connections);
        EXPECT_EQ(rig.linesContaining("lost"), connections - 1);
    }
}

TEST(RigctldSource, SilentServerNeverGetsASecondRequestAndIsDroppedAfterTheTimeout) {
    Rigctld rig(10);
    rig.script = {QByteArray("14074000\n")};
    rig.otherwise = std::nullopt; // then silence
    rig.source.setReplyTimeoutMs(1500);
    rig.source.start();
    ASSERT_TRUE(waitUntil([&] { return rig.requests == 2; }, 3000));
    spin(1000); // a hundred poll intervals
    // One answered, one outstanding.
    EXPECT_EQ(std::pair(rig.requests, rig.connections), std::pair(2, 1));

    ASSERT_TRUE(waitUntil([&] { return rig.connections == 2; }, 6000));
    EXPECT_EQ(rig.linesContaining("lost (no reply for 1500 ms), reconnecting"), 1) << rig.all();
    EXPECT_EQ(rig.values, QList<qint64>{14074000});
}

TEST(RigctldSource, ReportsOnceWhileAwayRepeatsOnlyWhileConnectedAndResumes) {
    Rigctld rig(100);
    rig.stop(); // not there yet: the port stays for listen() later
    rig.otherwise = QByteArray("14074000\n");
    rig.source.setKeepAliveMs(300);
    rig.source.start();
    spin(1500); // several refused attempts, reported once
    const QString at = "rigctld at " + rig.address();
    EXPECT_EQ(rig.lines, (QStringList{"polling " + at + " every 100 ms",
                                      at + ": not reachable (Connection refused), retrying"}));
    ASSERT_TRUE(rig.listen());
    ASSERT_TRUE(waitUntil([&] { return rig.values.size() == 3; }, 5000)); // and two keep-alives
    EXPECT_EQ(rig.values.count(14074000), 3);

    rig.stop();
    ASSERT_TRUE(waitUntil([&] { return rig.linesContaining("lost") == 1; }, 3000));
    spin(2500); // refused again, and reported by none of the attempts
    EXPECT_EQ(rig.values.size(), 3) << "a stale value was repeated while rigctld was away";
    EXPECT_EQ(rig.lines.size(), 4) << rig.all(); // + connected, lost

    rig.otherwise = QByteArray("21074000\n");
    ASSERT_TRUE(rig.listen());
    ASSERT_TRUE(waitUntil([&] { return rig.values.contains(21074000); }, 5000));
    EXPECT_EQ(rig.linesContaining(": connected"), 2);
}

// Bad replies are skipped, reported and survived: the connection stays and the next good reply
// goes out.
TEST(FlrigSource, PublishesOnlyWhileATransceiverIsConnectedAndSkipsBadReplies) {
    Flrig flrig(20);
    flrig.xcvr = xmlRpcString("");
    flrig.vfo = xmlRpcString("14070000"); // what flrig shows when no radio is there
    flrig.source.setKeepAliveMs(200);
    flrig.source.start();
    ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 5; }, 5000));
    EXPECT_TRUE(flrig.values.isEmpty());
    EXPECT_FALSE(flrig.calls.contains("rig.get_vfo"));
    EXPECT_EQ(flrig.linesContaining("connected, no transceiver"), 1);

    flrig.xcvr = xmlRpcString("IC-7300");
    flrig.vfo = xmlRpcString("3573000");
    ASSERT_TRUE(waitUntil([&] { return flrig.values.size() >= 2; }, 3000)); // value + keep-alive
    EXPECT_EQ(flrig.values.mid(0, 2), (QList<qint64>{3573000, 3573000}));
    EXPECT_EQ(flrig.linesContaining("transceiver IC-7300"), 1) << flrig.all();
    const std::tuple<QByteArray, int, qint64> replies[] = {
        {"<methodResponse><fault><value><struct><member><name>faultString</name><value>busy"
         "</value></member></struct></value></fault></methodResponse>",
         200, 7074000},
        {xmlRpcString("14.074"), 200, 7075000},
        {xmlRpcString("14074000"), 500, 7076000}};
    for (const auto& [bad, status, next] : replies) {
        flrig.vfo = bad;
        flrig.status = status;
        const auto calls = flrig.calls.size();
        ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= calls + 8; }, 5000));
        flrig.vfo = xmlRpcString(QByteArray::number(next));
        flrig.status = 200;
        ASSERT_TRUE(waitUntil([&] { return flrig.values.back() == next; }, 3000));
    }
    for (qint64 hz : flrig.values) // no bad reply went out
        EXPECT_TRUE(QList<qint64>({3573000, 7074000, 7075000, 7076000}).contains(hz)) << hz;
    EXPECT_EQ(flrig.linesContaining("skipped"), 1) << flrig.all(); // reported once in 30 s
    EXPECT_EQ(flrig.linesContaining("lost"), 0);
    for (qsizetype i = 0; i < flrig.calls.size(); ++i)
        EXPECT_TRUE(flrig.calls[i] != "rig.get_vfo" || flrig.calls.value(i - 1) == "rig.get_xcvr")
            << "the frequency asked without the transceiver first";

    // The radio goes: the last value is not repeated any more.
    flrig.xcvr = xmlRpcString("NONE");
    ASSERT_TRUE(
        waitUntil([&] { return flrig.linesContaining("no transceiver connected") == 1; }, 3000));
    const auto before = flrig.values.size();
    spin(700);
    EXPECT_EQ(flrig.values.size(), before);
}

// A flrig that stops answering is lost after the reply time-out and polled again on a new
// connection, whose first reading goes out even when unchanged. (Going away and coming back is
// the polling rule that RigctldSource shows.)
TEST(FlrigSource, ReconnectsAfterFlrigFallsSilent) {
    Flrig flrig(20);
    flrig.source.setReplyTimeoutMs(600);
    flrig.source.start();
    ASSERT_TRUE(waitUntil([&] { return flrig.values.size() == 1; }, 3000));
    flrig.silent = true;
    ASSERT_TRUE(waitUntil([&] { return flrig.linesContaining("lost") == 1; }, 5000));
    EXPECT_EQ(flrig.linesContaining("lost (no reply for 600 ms)"), 1) << flrig.all();
    EXPECT_EQ(flrig.values.size(), 1);
    flrig.silent = false;
    ASSERT_TRUE(waitUntil([&] { return flrig.values.size() == 2; }, 5000));
    EXPECT_EQ(flrig.values, (QList<qint64>{14074000, 14074000}));
}

} // namespace
