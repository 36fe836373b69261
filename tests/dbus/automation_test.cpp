#include "bus_fixture.h"

#include "platform/errors.h"
#include "platform/qt/dbus_automation.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

using namespace testing_support;
using veltaro::LinkError;

namespace {

TEST(Introspection, OnlyTheNodesOwnInterfacesCount) {
    const std::pair<const char*, bool> cases[] = {
        {"<node><interface name=\"a.b\"/><interface name=\"org.veltaro.FTLink.Trx\">"
         "<property name=\"Frequency\" type=\"d\" access=\"read\"/></interface></node>",
         true},
        {"<node><interface name=\"org.veltaro.FTLink.TrxOld\"/></node>", false},
        {"<node><node name=\"x\"><interface name=\"org.veltaro.FTLink.Trx\"/></node></node>",
         false},
        {"not xml", false},
    };
    for (const auto& [xml, listed] : cases)
        EXPECT_EQ(veltaro::qt::introspectionListsInterface(
                      QString::fromLatin1(xml), QStringLiteral("org.veltaro.FTLink.Trx")),
                  listed)
            << xml;
}

// The test server in FTLink mode; Frequency=MHZ sets the value it reads back.
class AutomationTest : public ::testing::Test {
protected:
    static std::unique_ptr<Child> server(QStringList args) {
        return startOnBus(QStringLiteral(TEST_SERVER), args << "--ftlink", QStringLiteral("ready"));
    }

    veltaro::qt::DBusAutomationClient client{theBus->connection()};
};

// The objects belong to the server process that made them: a server that restarts is followed
// only after a new connect.
TEST_F(AutomationTest, FrequencyFollowsTheServerThatAnsweredUntilDisconnected) {
    EXPECT_THROW(client.frequencyMHz(), LinkError); // nothing held yet
    auto s = server({"Frequency=14.074"});
    client.connect();
    const auto read = [&](int ms) { return firstValue([&] { return client.frequencyMHz(); }, ms); };
    EXPECT_EQ(read(3000), 14.074);
    ASSERT_TRUE(command(*s, "set Frequency 7"));
    EXPECT_TRUE(waitUntil([&] { return read(200) == 7.0; }, 3000));

    s.reset();
    s = server({"Frequency=7.074"});
    EXPECT_FALSE(waitUntil([&] { return read(0) == 7.074; }, 500));
    client.connect();
    EXPECT_EQ(read(3000), 7.074);
    client.disconnect();
    EXPECT_THROW(client.frequencyMHz(), LinkError);
}

TEST_F(AutomationTest, ConnectFailsQuicklyAndHoldsNothing) {
    enum Server { None, Stopped, WithoutTrx };
    for (const Server kind : {None, Stopped, WithoutTrx}) {
        SCOPED_TRACE(kind);
        auto s = kind == None ? nullptr
                              : server({"Frequency=14.074", kind == WithoutTrx ? "--no-trx" : ""});
        if (kind == Stopped) {
            // What an earlier connect made goes too, though a read of it is ready.
            client.connect();
            ASSERT_TRUE(firstValue([&] { return client.frequencyMHz(); }, 3000));
            spin(100);
            sendSignal(*s, SIGSTOP);
        }
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(client.connect(), LinkError);
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_THROW(client.frequencyMHz(), LinkError);
    }
}

TEST_F(AutomationTest, AReadWithoutAValueIsALinkErrorAndNeverBlocks) {
    for (const QString flag : {"--fail", "--silent"}) {
        SCOPED_TRACE(flag.toStdString());
        auto s = server({flag});
        client.connect();
        ASSERT_TRUE(s->waitForLine("get", 2000));
        spin(100);
        qint64 slowest = 0;
        for (int tick = 0; tick < 10; ++tick) {
            QElapsedTimer clock;
            clock.start();
            EXPECT_THROW(client.frequencyMHz(), LinkError);
            slowest = std::max(slowest, clock.elapsed());
            spin(20);
        }
        EXPECT_LT(slowest, 300);
        // An outstanding read is not repeated; a failed one is asked again on the next tick.
        EXPECT_EQ(s->lines().count("get") == 1, flag == "--silent") << s->lines().count("get");
    }
}

} // namespace
