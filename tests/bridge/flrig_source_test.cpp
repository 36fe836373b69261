// FlrigSource against a scripted XML-RPC server on loopback.
#include "bus_fixture.h"
#include "fake_radios.h"
#include "flrig_source.h"

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

TEST(FlrigSource, AsksForTheTransceiverThenTheFrequency) {
    FakeFlrig flrig;
    ASSERT_TRUE(flrig.listen());
    FlrigSource source(QStringLiteral("127.0.0.1"), flrig.port(), 20);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 6; }, 5000));
    EXPECT_EQ(rec.values, QList<qint64>{14074000});
    for (qsizetype i = 0; i + 1 < flrig.calls.size(); i += 2) {
        EXPECT_EQ(flrig.calls[i], QStringLiteral("rig.get_xcvr")) << i;
        EXPECT_EQ(flrig.calls[i + 1], QStringLiteral("rig.get_vfo")) << i;
    }
    EXPECT_EQ(rec.linesContaining(QStringLiteral(": connected, transceiver IC-7300")), 1)
        << rec.lines.join('\n').toStdString();

    flrig.vfo = xmlRpcString("7074000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 2; }, 3000));
    EXPECT_EQ(rec.values.back(), 7074000);
}

TEST(FlrigSource, NeverPublishesThePlaceholderWithoutATransceiver) {
    FakeFlrig flrig;
    ASSERT_TRUE(flrig.listen());
    flrig.xcvr = xmlRpcString("");
    flrig.vfo = xmlRpcString("14070000"); // what flrig shows when no radio is there
    FlrigSource source(QStringLiteral("127.0.0.1"), flrig.port(), 20);
    source.setKeepAliveMs(200);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 5; }, 5000));
    EXPECT_TRUE(rec.values.isEmpty());
    EXPECT_FALSE(flrig.calls.contains(QStringLiteral("rig.get_vfo")));
    EXPECT_EQ(rec.linesContaining(QStringLiteral("connected, no transceiver")), 1);

    flrig.xcvr = xmlRpcString("FT-991A");
    flrig.vfo = xmlRpcString("3573000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() >= 2; }, 3000)); // value + keep-alive
    EXPECT_EQ(rec.values[0], 3573000);
    EXPECT_EQ(rec.values[1], 3573000);
    EXPECT_EQ(rec.linesContaining(QStringLiteral("transceiver FT-991A")), 1);

    // The radio goes: the last value is not repeated any more.
    flrig.xcvr = xmlRpcString("NONE");
    ASSERT_TRUE(waitUntil(
        [&] { return rec.linesContaining(QStringLiteral("no transceiver connected")) == 1; },
        3000));
    const auto before = rec.values.size();
    spin(700);
    EXPECT_EQ(rec.values.size(), before);
}

TEST(FlrigSource, SkipsBadRepliesWithoutGivingUp) {
    struct Bad {
        const char* name;
        QByteArray vfo;
        int status;
    };
    const Bad cases[] = {
        {"fault",
         "<methodResponse><fault><value><struct><member><name>faultString</name><value>busy"
         "</value></member></struct></value></fault></methodResponse>",
         200},
        {"not a number", xmlRpcString("abc"), 200},
        {"MHz", xmlRpcString("14.074"), 200},
        {"not XML-RPC", "<html>oops</html>", 200},
        {"HTTP error", xmlRpcString("14074000"), 500},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFlrig flrig;
        ASSERT_TRUE(flrig.listen());
        flrig.vfo = c.vfo;
        flrig.status = c.status;
        FlrigSource source(QStringLiteral("127.0.0.1"), flrig.port(), 20);
        Recorder rec(source);
        source.start();
        ASSERT_TRUE(waitUntil([&] { return flrig.calls.size() >= 8; }, 5000));
        EXPECT_TRUE(rec.values.isEmpty());
        EXPECT_EQ(rec.linesContaining(QStringLiteral("skipped")), 1)
            << rec.lines.join('\n').toStdString();

        flrig.status = 200;
        flrig.vfo = xmlRpcString("7074000");
        ASSERT_TRUE(waitUntil([&] { return !rec.values.isEmpty(); }, 3000));
        EXPECT_EQ(rec.values, QList<qint64>{7074000});
        EXPECT_EQ(rec.linesContaining(QStringLiteral("lost")), 0);
    }
}

TEST(FlrigSource, ReconnectsAfterFlrigGoesAwayOrFallsSilent) {
    FakeFlrig flrig;
    ASSERT_TRUE(flrig.listen());
    FlrigSource source(QStringLiteral("127.0.0.1"), flrig.port(), 20);
    source.setReplyTimeoutMs(600);
    Recorder rec(source);
    source.start();
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 1; }, 3000));

    flrig.stop();
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining(QStringLiteral("lost")) == 1; }, 3000))
        << rec.lines.join('\n').toStdString();
    spin(1500);
    EXPECT_EQ(rec.values.size(), 1);

    flrig.vfo = xmlRpcString("10136000");
    ASSERT_TRUE(flrig.listen());
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 2; }, 5000));
    EXPECT_EQ(rec.values.back(), 10136000);

    flrig.silent = true;
    ASSERT_TRUE(waitUntil([&] { return rec.linesContaining(QStringLiteral("lost")) == 2; }, 5000));
    EXPECT_EQ(rec.linesContaining(QStringLiteral("lost (no reply for 600 ms)")), 1)
        << rec.lines.join('\n').toStdString();
    flrig.silent = false;
    flrig.vfo = xmlRpcString("18100000");
    ASSERT_TRUE(waitUntil([&] { return rec.values.size() == 3; }, 5000));
    EXPECT_EQ(rec.values.back(), 18100000);
}

} // namespace
