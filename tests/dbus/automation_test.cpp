#include "bus_fixture.h"

#include "platform/errors.h"
#include "platform/qt/dbus_automation.h"

#include <gtest/gtest.h>

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
    std::unique_ptr<veltaro::ITrxObject> trxObject() {
        return client.createTrxServer()->firstObject()->queryTrx();
    }

    veltaro::qt::DBusAutomationClient client{theBus->connection()};
};

TEST_F(AutomationTest, FrequencyArrivesThroughObjectsThatOutliveTheirMakers) {
    auto s = server({"Frequency=14.074"});
    auto first = client.createTrxServer()->firstObject();
    auto trx = first->queryTrx();
    first.reset();
    EXPECT_EQ(firstValue([&] { return trx->frequency(); }, 3000), 14.074);
    ASSERT_TRUE(s->command("set Frequency 7"));
    EXPECT_TRUE(
        waitUntil([&] { return firstValue([&] { return trx->frequency(); }, 200) == 7.0; }, 3000));
}

TEST_F(AutomationTest, NoOwnerOrAStoppedOwnerFailsTheCreateQuickly) {
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "stopped server" : "no server");
        auto s = running ? server({}) : nullptr;
        if (s)
            s->signal(SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(client.createTrxServer(), LinkError);
        EXPECT_LT(clock.elapsed(), 1000);
    }
}

TEST_F(AutomationTest, PathWithoutTheTrxInterfaceFailsTheInterfaceRequest) {
    auto s = server({"--no-trx"});
    auto first = client.createTrxServer()->firstObject();
    EXPECT_THROW(first->queryTrx(), LinkError);
}

TEST_F(AutomationTest, ErrorReplyToTheReadIsALinkError) {
    auto s = server({"--fail"});
    auto trx = trxObject();
    ASSERT_TRUE(s->waitForLine("get", 2000));
    spin(100);
    EXPECT_THROW(trx->frequency(), LinkError);
}

TEST_F(AutomationTest, HungReadNeverBlocksAndIsNotRepeated) {
    auto s = server({"--silent"});
    auto trx = trxObject();
    ASSERT_TRUE(s->waitForLine("get", 2000));
    qint64 slowest = 0;
    for (int tick = 0; tick < 10; ++tick) {
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(trx->frequency(), LinkError);
        slowest = std::max(slowest, clock.elapsed());
        spin(20);
    }
    EXPECT_LT(slowest, 300);
    spin(100);
    EXPECT_EQ(s->lines().count("get"), 1);
}

} // namespace
