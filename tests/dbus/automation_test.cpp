#include "bus_fixture.h"

#include "platform/errors.h"
#include "platform/qt/dbus_automation.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>

namespace testing_support {
extern PrivateBus* theBus;
}

using namespace testing_support;
using veltaro::LinkError;
using veltaro::qt::DBusAutomationClient;

namespace {

class AutomationTest : public ::testing::Test {
protected:
    AutomationTest() : client(theBus->connection()) {}

    std::unique_ptr<Child> server(QStringList args) {
        args.prepend(QStringLiteral("--ftlink"));
        auto c = std::make_unique<Child>(QStringLiteral(TEST_SERVER), args, theBus->environment());
        EXPECT_TRUE(c->waitForLine(QStringLiteral("ready"), 5000));
        return c;
    }

    std::unique_ptr<veltaro::ITrxObject> trxObject() {
        auto server = client.createTrxServer();
        auto first = server->firstObject();
        return first->queryTrx();
    }

    // Calls frequency() the way the poll timer does until a value comes back.
    static std::optional<double> poll(veltaro::ITrxObject& trx, int ms) {
        std::optional<double> value;
        waitUntil(
            [&] {
                try {
                    value = trx.frequency();
                } catch (const LinkError&) {
                }
                return value.has_value();
            },
            ms);
        return value;
    }

    DBusAutomationClient client;
};

TEST(Introspection, OnlyTheNodesOwnInterfacesCount) {
    const QString trx = QStringLiteral("org.veltaro.FTLink.Trx");
    struct Case {
        const char* xml;
        bool listed;
    };
    const Case cases[] = {
        {"<node><interface name=\"org.veltaro.FTLink.Trx\"/></node>", true},
        {"<node><interface name=\"a.b\"/><interface name=\"org.veltaro.FTLink.Trx\">"
         "<property name=\"Frequency\" type=\"d\" access=\"read\"/></interface></node>",
         true},
        {"<node><interface name=\"org.veltaro.FTLink.TrxOld\"/></node>", false},
        {"<node><node name=\"x\"><interface name=\"org.veltaro.FTLink.Trx\"/></node></node>",
         false},
        {"<node/>", false},
        {"not xml", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(veltaro::qt::introspectionListsInterface(QString::fromLatin1(c.xml), trx),
                  c.listed)
            << c.xml;
}

TEST_F(AutomationTest, FrequencyArrivesThroughTheReturnedObject) {
    auto s = server({QStringLiteral("--trx-path"), QStringLiteral("/Radio/Main"),
                     QStringLiteral("--freq"), QStringLiteral("14.074")});
    auto trx = trxObject();
    EXPECT_EQ(poll(*trx, 3000), std::optional<double>(14.074));
    ASSERT_TRUE(s->command(QStringLiteral("freq 7")));
    std::optional<double> later;
    waitUntil(
        [&] {
            later = poll(*trx, 200);
            return later == 7.0;
        },
        3000);
    EXPECT_EQ(later, std::optional<double>(7.0));
}

TEST_F(AutomationTest, NoOwnerFailsTheCreate) {
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(client.createTrxServer(), LinkError);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(AutomationTest, PathWithoutTheTrxInterfaceFailsTheInterfaceRequest) {
    auto s = server({QStringLiteral("--no-trx-interface")});
    auto first = client.createTrxServer()->firstObject();
    EXPECT_THROW(first->queryTrx(), LinkError);
}

TEST_F(AutomationTest, ErrorReplyToTheReadIsALinkError) {
    auto s = server({QStringLiteral("--fail-gets")});
    auto trx = trxObject();
    ASSERT_TRUE(s->waitForLine(QStringLiteral("get"), 2000));
    spin(100);
    EXPECT_THROW(trx->frequency(), LinkError);
}

TEST_F(AutomationTest, StoppedServerFailsTheCreateQuickly) {
    auto s = server({});
    s->signal(SIGSTOP);
    QElapsedTimer clock;
    clock.start();
    EXPECT_THROW(client.createTrxServer(), LinkError);
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(AutomationTest, HungReadNeverBlocksAndIsNotRepeated) {
    auto s = server({QStringLiteral("--hold-gets")});
    auto trx = trxObject();
    ASSERT_TRUE(s->waitForLine(QStringLiteral("get"), 2000));
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
    EXPECT_EQ(s->lines().count(QStringLiteral("get")), 1);
}

TEST_F(AutomationTest, ObjectsOutliveTheirMakers) {
    auto s = server({QStringLiteral("--freq"), QStringLiteral("21.2")});
    std::unique_ptr<veltaro::ITrxObject> trx;
    {
        auto server = client.createTrxServer();
        auto first = server->firstObject();
        server.reset();
        trx = first->queryTrx();
    }
    EXPECT_EQ(poll(*trx, 3000), std::optional<double>(21.2));
}

} // namespace
