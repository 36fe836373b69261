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
using Address = veltaro::ILinkClient::Address;

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

const Address Commander{"CI-V Commander", "DDEServer", "XmitFreq"};

// The test server serves the Commander topic; arguments are ITEM=VALUE pairs and options.
class LinkClientTest : public ::testing::Test {
protected:
    static std::unique_ptr<Child> server(const QStringList& args) {
        return startOnBus(QStringLiteral(TEST_SERVER), args, QStringLiteral("ready"));
    }
    // Links the item; values go to `to`, losses are counted in `lost`.
    void link(Values& to, const Address& address = Commander) {
        client.connect(
            address, [&to](const std::string& v) { to.push_back(v); }, [this] { ++lost; });
    }

    veltaro::qt::DBusLinkClient client{theBus->connection(), 1000};
    Values got;
    int lost = 0;
};

TEST_F(LinkClientTest, CurrentValueFirstThenChangesInOrderOnlyForTheLinkedItem) {
    // The server also sends an older Advise just before its reply: it must not follow the reply.
    auto s = server({"XmitFreq=14074", "--advise-first", "7000"});
    link(got);
    EXPECT_EQ(got, Values{"14074"}); // before connect returned
    s->send("set Other 5");
    s->send("burst XmitFreq 200");
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 201; }, 5000)) << got.size();
    spin(50);
    ASSERT_EQ(got.size(), 201u);
    for (std::size_t i = 1; i < got.size(); ++i)
        ASSERT_EQ(got[i], std::to_string(i));
}

TEST_F(LinkClientTest, ConnectFailsWithLinkErrorWithinItsBound) {
    enum Server { None, Running, Stopped };
    const struct {
        const char* name;
        Server server;
        Address address;
    } cases[] = {
        {"no server", None, Commander},
        {"no such item", Running, {"CI-V Commander", "DDEServer", "Nope"}},
        {"empty service", None, {"", "DDEServer", "XmitFreq"}},
        {"hung server", Stopped, Commander},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = c.server == None ? nullptr : server({"XmitFreq=1"});
        if (c.server == Stopped)
            sendSignal(*s, SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(link(got, c.address), LinkError);
        EXPECT_LT(clock.elapsed(), 2500);
        if (c.server == Running) {
            // A failed connect leaves no subscription behind, nor a watch on the name.
            EXPECT_TRUE(command(*s, "set Nope 5"));
            s.reset();
            spin(100);
        }
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(lost, 0);
    }
}

// Values received but not yet delivered (no event loop ran) are dropped with the link too.
TEST_F(LinkClientTest, DisconnectOrANewConnectEndsTheOldDeliveries) {
    auto s = server({"XmitFreq=14074"});
    link(got);
    s->send("set XmitFreq 14100");
    ASSERT_TRUE(waitUntil([&] { return got.size() == 2; }, 3000));
    s->send("set XmitFreq 14200");
    QThread::msleep(300);
    client.disconnect();
    EXPECT_TRUE(command(*s, "set XmitFreq 14300"));
    spin(200);
    EXPECT_EQ(got, (Values{"14074", "14100"}));

    Values second, third;
    link(second);
    s->send("set XmitFreq 14400");
    QThread::msleep(300);
    link(third); // replaces the second link
    EXPECT_TRUE(command(*s, "set XmitFreq 14500"));
    ASSERT_TRUE(waitUntil([&] { return third.size() == 2; }, 3000));
    spin(100);
    EXPECT_EQ(second, Values{"14300"});
    EXPECT_EQ(third, (Values{"14400", "14500"}));

    client.disconnect();
    s.reset(); // its end is no loss of a link that is gone already
    spin(200);
    EXPECT_EQ(lost, 0);
}

TEST_F(LinkClientTest, ServerThatEndsLosesTheLinkForGood) {
    auto first = server({"XmitFreq=14074"});
    client.connect(
        Commander, [&](const std::string& v) { got.push_back(v); },
        [&] {
            ++lost;
            client.disconnect(); // nothing left to end
        });
    first.reset(); // killed (SIGKILL) without a word to its clients
    EXPECT_TRUE(waitUntil([&] { return lost == 1; }, 3000));

    auto second = server({"XmitFreq=7074"});
    // The lost link does not follow the new owner of the name.
    EXPECT_TRUE(command(*second, "set XmitFreq 7080"));
    spin(100);
    EXPECT_EQ(got, Values{"14074"});

    link(got);
    second->send("set XmitFreq 7090");
    ASSERT_TRUE(waitUntil([&] { return got.size() == 3; }, 3000));
    EXPECT_EQ(got, (Values{"14074", "7080", "7090"}));
    EXPECT_EQ(lost, 1);
}

} // namespace
