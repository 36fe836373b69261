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

TEST_F(AutomationTest, FrequencyArrivesThroughObjectsThatOutliveTheirMakers) {
    auto s = server({"Frequency=14.074"});
    auto first = client.createTrxServer()->firstObject();
    auto trx = first->queryTrx();
    first.reset();
    EXPECT_EQ(firstValue([&] { return trx->frequency(); }, 3000), 14.074);
    ASSERT_TRUE(command(*s, "set Frequency 7"));
    EXPECT_TRUE(
        waitUntil([&] { return firstValue([&] { return trx->frequency(); }, 200) == 7.0; }, 3000));
}

TEST_F(AutomationTest, NoOwnerOrAStoppedOwnerFailsTheCreateQuickly) {
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "stopped server" : "no server");
        auto s = running ? server({}) : nullptr;
        if (s)
            sendSignal(*s, SIGSTOP);
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

TEST_F(AutomationTest, AReadWithoutAValueIsALinkErrorAndNeverBlocks) {
    for (const QString flag : {"--fail", "--silent"}) {
        SCOPED_TRACE(flag.toStdString());
        auto s = server({flag});
        auto trx = client.createTrxServer()->firstObject()->queryTrx();
        ASSERT_TRUE(s->waitForLine("get", 2000));
        spin(100);
        qint64 slowest = 0;
        for (int tick = 0; tick < 10; ++tick) {
            QElapsedTimer clock;
            clock.start();
            EXPECT_THROW(trx->frequency(), LinkError);
            slowest = std::max(slowest, clock.elapsed());
            spin(20);
        }
        EXPECT_LT(slowest, 300);
        // An outstanding read is not repeated; a failed one is asked again on the next tick.
        EXPECT_EQ(s->lines().count("get") == 1, flag == "--silent") << s->lines().count("get");
    }
}

} // namespace
