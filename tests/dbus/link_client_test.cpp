#include "bus_fixture.h"

#include "platform/errors.h"
#include "platform/qt/dbus_link_client.h"
#include "platform/qt/link_names.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QThread>

#include <string>
#include <vector>

using namespace testing_support;
using veltaro::LinkError;
using Values = std::vector<std::string>;

namespace {

TEST(LinkNames, EscapeWritesEveryByteOutsideLettersAndDigitsAsHex) {
    const std::pair<std::string, std::string> cases[] = {
        {"CI-V Commander", "CI_2dV_20Commander"},
        {"HRD_RADIO_000", "HRD_5fRADIO_5f000"},
        {"7MHz", "_37MHz"},              // a leading digit
        {"a7", "a7"},                    // digits after the first byte stay
        {"\xc3\xa9t\xff", "_c3_a9t_ff"}, // bytes from 0x80 up, lower-case hex
        {"", ""},
    };
    for (const auto& [raw, escaped] : cases)
        EXPECT_EQ(veltaro::qt::escapeLinkName(raw), escaped) << raw;
    EXPECT_EQ(veltaro::qt::linkBusName("HRD_RADIO_000"),
              QStringLiteral("org.veltaro.Link.HRD_5fRADIO_5f000"));
    EXPECT_EQ(veltaro::qt::linkObjectPath("HRD_CAT"), QStringLiteral("/HRD_5fCAT"));
}

// The test server serves the Commander topic; arguments are ITEM=VALUE pairs and options.
class LinkClientTest : public ::testing::Test {
protected:
    LinkClientTest() : client(theBus->connection(), 1000) {
        client.setDeliveryHandler([this](const std::string& v) { got.push_back(v); });
    }
    static std::unique_ptr<Child> server(const QStringList& args) {
        return startOnBus(QStringLiteral(TEST_SERVER), args, QStringLiteral("ready"));
    }
    void link(const std::string& topic = "CI-V Commander|DDEServer",
              const std::string& item = "XmitFreq") {
        client.setLinkMode(0);
        client.setLinkTopic(topic);
        client.setLinkItem(item);
        client.setLinkMode(1);
    }

    veltaro::qt::DBusLinkClient client;
    Values got;
};

TEST_F(LinkClientTest, CurrentValueFirstThenChangesInOrderOnlyForTheLinkedItem) {
    // The server also sends an older Advise just before its reply: it must not follow the reply.
    auto s = server({"XmitFreq=14074", "--advise-first", "7000"});
    link();
    EXPECT_EQ(got, Values{"14074"}); // before the set-up returned
    s->send("set Other 5");
    s->send("burst XmitFreq 200");
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 201; }, 5000)) << got.size();
    spin(50);
    ASSERT_EQ(got.size(), 201u);
    for (std::size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(got[i], std::to_string(i));
}

TEST_F(LinkClientTest, SetUpFailsWithLinkErrorWithinItsBound) {
    enum Server { None, Running, Stopped };
    const struct {
        const char* name;
        Server server;
        std::string topic, item;
    } cases[] = {
        {"no server", None, "CI-V Commander|DDEServer", "XmitFreq"},
        {"no such item", Running, "CI-V Commander|DDEServer", "Nope"},
        {"topic without a bar", None, "CI-V Commander", "XmitFreq"},
        {"empty service", None, "|DDEServer", "XmitFreq"},
        {"hung server", Stopped, "CI-V Commander|DDEServer", "XmitFreq"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = c.server == None ? nullptr : server({"XmitFreq=1"});
        if (c.server == Stopped)
            sendSignal(*s, SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(link(c.topic, c.item), LinkError);
        EXPECT_LT(clock.elapsed(), 2500);
        if (c.server == Running) {
            // A failed set-up leaves no subscription behind.
            EXPECT_TRUE(command(*s, "set Nope 5"));
            spin(100);
        }
        EXPECT_TRUE(got.empty());
    }
}

TEST_F(LinkClientTest, LinkModeZeroDeliversNothingAndStopsDeliveries) {
    auto s = server({"XmitFreq=14074"});
    link();
    s->send("set XmitFreq 14100");
    ASSERT_TRUE(waitUntil([&] { return got.size() == 2; }, 3000));
    // Received but not yet delivered when the link closes (no event loop ran): dropped too.
    s->send("set XmitFreq 14200");
    QThread::msleep(300);
    client.setLinkMode(0);
    EXPECT_TRUE(command(*s, "set XmitFreq 14300"));
    spin(200);
    EXPECT_EQ(got, (Values{"14074", "14100"}));
}

TEST_F(LinkClientTest, ServerThatDiesMidLinkLeavesTheClientWorking) {
    auto first = server({"XmitFreq=14074"});
    link();
    first.reset(); // killed (SIGKILL) without a word to its clients
    spin(100);

    auto second = server({"XmitFreq=7074"});
    // The old link ended with its server: the new server's changes do not reach it.
    EXPECT_TRUE(command(*second, "set XmitFreq 7080"));
    spin(100);
    EXPECT_EQ(got, Values{"14074"});

    link();
    second->send("set XmitFreq 7090");
    ASSERT_TRUE(waitUntil([&] { return got.size() == 3; }, 3000));
    EXPECT_EQ(got, (Values{"14074", "7080", "7090"}));
}

} // namespace
