#include "bus_fixture.h"

#include "platform/errors.h"
#include "platform/qt/dbus_link_client.h"
#include "platform/qt/link_names.h"

#include <gtest/gtest.h>

#include <QThread>

#include <csignal>
#include <string>
#include <vector>

namespace testing_support {
extern PrivateBus* theBus;
}

using namespace testing_support;
using veltaro::LinkError;
using veltaro::qt::DBusLinkClient;

namespace {

struct EscapeCase {
    std::string raw;
    std::string escaped;
};

TEST(LinkNames, EscapeWritesEveryByteOutsideLettersAndDigitsAsHex) {
    const EscapeCase cases[] = {
        {"CI-V Commander", "CI_2dV_20Commander"},
        {"HRD_RADIO_000", "HRD_5fRADIO_5f000"},
        {"DDEServer", "DDEServer"},
        {"HRD_CAT", "HRD_5fCAT"},
        {"7MHz", "_37MHz"},              // a leading digit
        {"0", "_30"},                    // a lone digit
        {"a7", "a7"},                    // digits after the first byte stay
        {"\xc3\xa9t\xff", "_c3_a9t_ff"}, // bytes from 0x80 up, lower-case hex
        {"a.b/c", "a_2eb_2fc"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(veltaro::qt::escapeLinkName(c.raw), c.escaped) << c.raw;
}

TEST(LinkNames, BusNameAndPathOfTheTwoRigPrograms) {
    EXPECT_EQ(veltaro::qt::linkBusName("CI-V Commander"),
              QStringLiteral("org.veltaro.Link.CI_2dV_20Commander"));
    EXPECT_EQ(veltaro::qt::linkBusName("HRD_RADIO_000"),
              QStringLiteral("org.veltaro.Link.HRD_5fRADIO_5f000"));
    EXPECT_EQ(veltaro::qt::linkObjectPath("DDEServer"), QStringLiteral("/DDEServer"));
    EXPECT_EQ(veltaro::qt::linkObjectPath("HRD_CAT"), QStringLiteral("/HRD_5fCAT"));
}

const QString Commander = QStringLiteral("CI-V Commander|DDEServer");

class LinkClientTest : public ::testing::Test {
protected:
    LinkClientTest() : client(theBus->connection(), 1000) {
        client.setDeliveryHandler([this](const std::string& v) { got.push_back(v); });
    }

    std::unique_ptr<Child> server(QStringList args) {
        auto c = std::make_unique<Child>(QStringLiteral(TEST_SERVER), args, theBus->environment());
        EXPECT_TRUE(c->waitForLine(QStringLiteral("ready"), 5000));
        return c;
    }

    void link(const std::string& item = "XmitFreq") {
        client.setLinkMode(0);
        client.setLinkTopic(Commander.toStdString());
        client.setLinkItem(item);
        client.setLinkMode(1);
    }

    DBusLinkClient client;
    std::vector<std::string> got;
};

TEST_F(LinkClientTest, CurrentValueIsDeliveredBeforeSetUpReturns) {
    auto s = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=14074")});
    link();
    EXPECT_EQ(got, std::vector<std::string>{"14074"});
}

TEST_F(LinkClientTest, ChangesArriveInOrderAndOnlyForTheLinkedItem) {
    auto s = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=0")});
    link();
    got.clear();
    s->send(QStringLiteral("set Other 5"));
    s->send(QStringLiteral("burst XmitFreq 200"));
    ASSERT_TRUE(waitUntil([&] { return got.size() >= 200; }, 5000)) << got.size();
    spin(50);
    ASSERT_EQ(got.size(), 200u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(got[static_cast<std::size_t>(i)], std::to_string(i + 1));
}

TEST_F(LinkClientTest, AdviseSentBeforeTheReplyIsNotDeliveredAfterTheCurrentValue) {
    auto s = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=14074"),
                     QStringLiteral("--advise-on-request"), QStringLiteral("7000")});
    link();
    spin(200);
    EXPECT_EQ(got, std::vector<std::string>{"14074"});
}

TEST_F(LinkClientTest, SetUpFailsWithLinkError) {
    struct Case {
        const char* name;
        QStringList serverArgs; // empty: no server at all
        std::string topic;
        std::string item;
    };
    const Case cases[] = {
        {"no server", {}, Commander.toStdString(), "XmitFreq"},
        {"no such item",
         {QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=1")},
         Commander.toStdString(),
         "Nope"},
        {"topic without a bar", {}, "CI-V Commander", "XmitFreq"},
        {"empty service", {}, "|DDEServer", "XmitFreq"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        got.clear();
        std::unique_ptr<Child> s;
        if (!c.serverArgs.isEmpty())
            s = server(c.serverArgs);
        client.setLinkTopic(c.topic);
        client.setLinkItem(c.item);
        EXPECT_THROW(client.setLinkMode(1), LinkError);
        EXPECT_TRUE(got.empty());
        if (s) {
            // A failed set-up leaves no subscription behind.
            EXPECT_TRUE(s->command(QStringLiteral("set Nope 5")));
            spin(100);
            EXPECT_TRUE(got.empty());
        }
    }
}

TEST_F(LinkClientTest, LinkModeZeroDeliversNothingAndStopsDeliveries) {
    auto s = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=14074")});
    link();
    s->send(QStringLiteral("set XmitFreq 14100"));
    ASSERT_TRUE(waitUntil([&] { return got.size() == 2; }, 3000));
    // Received but not yet delivered when the link closes (no event loop ran): dropped too.
    s->send(QStringLiteral("set XmitFreq 14200"));
    QThread::msleep(300);
    client.setLinkMode(0);
    EXPECT_TRUE(s->command(QStringLiteral("set XmitFreq 14300")));
    spin(200);
    EXPECT_EQ(got, (std::vector<std::string>{"14074", "14100"}));
}

TEST_F(LinkClientTest, ServerThatDiesMidLinkLeavesTheClientWorking) {
    auto first = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=14074")});
    link();
    first->signal(SIGKILL);
    first->stop();
    spin(100);

    auto second = server({QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=7074")});
    // The old link ended with its server: the new server's changes do not reach it.
    EXPECT_TRUE(second->command(QStringLiteral("set XmitFreq 7080")));
    spin(100);
    EXPECT_EQ(got, std::vector<std::string>{"14074"});

    link();
    second->send(QStringLiteral("set XmitFreq 7090"));
    ASSERT_TRUE(waitUntil([&] { return got.size() == 3; }, 3000));
    EXPECT_EQ(got, (std::vector<std::string>{"14074", "7080", "7090"}));
}

TEST_F(LinkClientTest, HungServerFailsTheSetUpWithinItsBound) {
    struct Case {
        const char* name;
        bool stopProcess; // SIGSTOP the server; otherwise it never answers Request
    };
    for (const Case c : {Case{"stopped process", true}, Case{"never replies", false}}) {
        SCOPED_TRACE(c.name);
        QStringList args{QStringLiteral("--link"), Commander, QStringLiteral("XmitFreq=1")};
        if (!c.stopProcess)
            args << QStringLiteral("--mute");
        auto s = server(args);
        if (c.stopProcess)
            s->signal(SIGSTOP);
        QElapsedTimer clock;
        clock.start();
        EXPECT_THROW(link(), LinkError);
        EXPECT_LT(clock.elapsed(), 2500);
        EXPECT_TRUE(got.empty());
    }
}

} // namespace
