// FlrigSource against a scripted XML-RPC server on loopback.
#include "fake_radios.h"
#include "flrig_source.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;
using veltaro::support::spin;
using veltaro::support::waitUntil;

TEST(FlrigSource, PublishesOnlyWhileATransceiverIsConnected) {
    FakeFlrig flrig;
    ASSERT_TRUE(flrig.listen());
    flrig.xcvr = xmlRpcString("");
    flrig.vfo = xmlRpcString("14070000"); // what flrig shows when no radio is there
    FlrigSource source("127.0.0.1", flrig.port(), 20);
    source.setKeepAliveMs(200);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 5; }, 5000));
    EXPECT_TRUE(rec.values.isEmpty());
    EXPECT_FALSE(flrig.calls.contains("rig.get_vfo"));
    EXPECT_EQ(rec.linesContaining("connected, no transceiver"), 1);

    flrig.xcvr = xmlRpcString("IC-7300");
    flrig.vfo = xmlRpcString("3573000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() >= 2; }, 3000)); // value + keep-alive
    EXPECT_EQ(rec.values.mid(0, 2), (QList<qint64>{3573000, 3573000}));
    EXPECT_EQ(rec.linesContaining("transceiver IC-7300"), 1) << rec.lines.join('\n').toStdString();
    flrig.vfo = xmlRpcString("7074000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.back() == 7074000; }, 3000));
    for (qsizetype i = 0; i < flrig.calls.size(); ++i)
        EXPECT_TRUE(flrig.calls[i] != "rig.get_vfo" || flrig.calls.value(i - 1) == "rig.get_xcvr")
            << "the frequency asked without the transceiver first, call " << i;

    // The radio goes: the last value is not repeated any more.
    flrig.xcvr = xmlRpcString("NONE");
    ASSERT_TRUE(
        waitUntil([&] { return rec.linesContaining("no transceiver connected") == 1; }, 3000));
    const auto before = rec.values.size();
    spin(700);
    EXPECT_EQ(rec.values.size(), before);
}

TEST(FlrigSource, SkipsBadRepliesWithoutGivingUp) {
    const std::tuple<const char*, QByteArray, int> cases[] = {
        {"fault",
         "<methodResponse><fault><value><struct><member><name>faultString</name><value>busy"
         "</value></member></struct></value></fault></methodResponse>",
         200},
        {"not a number", xmlRpcString("abc"), 200},
        {"MHz", xmlRpcString("14.074"), 200},
        {"not XML-RPC", "<html>oops</html>", 200},
        {"HTTP error", xmlRpcString("14074000"), 500},
    };
    for (const auto& [name, vfo, status] : cases) {
        SCOPED_TRACE(name);
        FakeFlrig flrig;
        ASSERT_TRUE(flrig.listen());
        flrig.vfo = vfo;
        flrig.status = status;
        FlrigSource source("127.0.0.1", flrig.port(), 20);
        Recorder rec(source);
        source.start();
        ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 8; }, 5000));
        EXPECT_TRUE(rec.values.isEmpty());
        EXPECT_EQ(rec.linesContaining("skipped"), 1) << rec.lines.join('\n').toStdString();

        flrig.status = 200;
        flrig.vfo = xmlRpcString("7074000");
        ASSERT_TRUE(waitUntil([&] { return !rec.values.isEmpty(); }, 3000));
        EXPECT_EQ(rec.values, QList<qint64>{7074000});
        EXPECT_EQ(rec.linesContaining("lost"), 0);
    }
}

TEST(FlrigSource, ReconnectsAfterFlrigGoesAwayOrFallsSilent) {
    FakeFlrig flrig;
    ASSERT_TRUE(flrig.listen());
    FlrigSource source("127.0.0.1", flrig.port(), 20);
    source.setReplyTimeoutMs(600);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 1; }, 3000));

    flrig.stop();
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining("lost") == 1; }, 3000))
        << rec.lines.join('\n').toStdString();
    spin(1500);
    EXPECT_EQ(rec.values.size(), 1);

    ASSERT_TRUE(flrig.listen()); // the radio did not move
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 2; }, 5000));
    EXPECT_EQ(rec.values, (QList<qint64>{14074000, 14074000}))
        << "the first reading after a reconnection goes out even when unchanged";

    flrig.silent = true;
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining("lost") == 2; }, 5000));
    EXPECT_EQ(rec.linesContaining("lost (no reply for 600 ms)"), 1)
        << rec.lines.join('\n').toStdString();
    flrig.silent = false;
    flrig.vfo = xmlRpcString("18100000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 3; }, 5000));
    EXPECT_EQ(rec.values.back(), 18100000);
}

} // namespace
