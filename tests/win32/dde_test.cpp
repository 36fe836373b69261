// The DDEML client link against the stand-in server (a separate process).
#include "platform/errors.h"
#include "platform/win32/dde_link_client.h"
#include "support.h"

#include <gtest/gtest.h>

using veltaro::win32::DdeLinkClient;

namespace {

struct Link {
    DdeLinkClient client;
    std::vector<std::string> values;
    bool returned = false;
    std::vector<bool> returnedAtDelivery;
    Link() {
        client.setDeliveryHandler([this](const std::string& v) {
            values.push_back(v);
            returnedAtDelivery.push_back(returned);
        });
    }
    void open(const std::string& topic, const std::string& item) {
        client.setLinkTopic(topic);
        client.setLinkItem(item);
        client.setLinkMode(1);
        returned = true;
    }
};

} // namespace

TEST(DdeLink, CurrentValueArrivesBeforeTheSetUpReturnsForBothServices) {
    struct Case {
        const char* topic;
        const char* item;
        const char* expected;
    };
    wintest::DdeStandIn server("--commander 14074 --hrd 50313000");
    ASSERT_TRUE(server.ready());
    for (const Case& c : {Case{"CI-V Commander|DDEServer", "XmitFreq", "14074"},
                          Case{"HRD_RADIO_000|HRD_CAT", "HRD_HERTZ", "50313000"}}) {
        SCOPED_TRACE(c.topic);
        Link link;
        link.open(c.topic, c.item);
        ASSERT_EQ(link.values, std::vector<std::string>{c.expected});
        EXPECT_FALSE(link.returnedAtDelivery[0]);
        EXPECT_TRUE(link.client.linked());
    }
}

TEST(DdeLink, AdvisedChangesArriveInOrderAndStopAfterLinkModeZero) {
    wintest::DdeStandIn server("--commander 7074 --then 14074,14084,21074,28074");
    ASSERT_TRUE(server.ready());
    Link link;
    link.open("CI-V Commander|DDEServer", "XmitFreq");
    ASSERT_TRUE(wintest::pumpUntil([&] { return link.values.size() >= 5; }, 10000));
    EXPECT_EQ(link.values, (std::vector<std::string>{"7074", "14074", "14084", "21074", "28074"}));
    link.client.setLinkMode(0);
    EXPECT_FALSE(link.client.linked());
}

TEST(DdeLink, UnknownServiceOrTopicFailsTheSetUpAndDeliversNothing) {
    wintest::DdeStandIn server("");
    ASSERT_TRUE(server.ready());
    for (const char* topic : {"No Such Service|DDEServer", "CI-V Commander|NoSuchTopic"}) {
        SCOPED_TRACE(topic);
        Link link;
        link.client.setLinkTopic(topic);
        link.client.setLinkItem("XmitFreq");
        EXPECT_THROW(link.client.setLinkMode(1), veltaro::LinkError);
        EXPECT_TRUE(link.values.empty());
        EXPECT_FALSE(link.client.linked());
    }
}

TEST(DdeLink, NoServerLeavesTheCommanderBoxTickedWithoutSaving) {
    DdeLinkClient client;
    wintest::Form form;
    form.build(nullptr, &client, nullptr);
    form.main->CheckCommander.click();
    EXPECT_EQ(form.main->CheckCommander.value(), 1);
    EXPECT_EQ(form.settings.writes, 0);
    EXPECT_TRUE(form.dialogs.texts.empty());
    EXPECT_FALSE(client.linked());
}

TEST(DdeLink, HrdHertzReachTheTrackerAsKilohertz) {
    wintest::DdeStandIn server("--hrd 50313000 --then 7074000");
    ASSERT_TRUE(server.ready());
    DdeLinkClient client;
    wintest::Form form;
    form.build(nullptr, &client, nullptr);
    form.main->CheckHRD.click();
    EXPECT_EQ(form.main->tracker().NewKHz, 50313); // delivered inside the click
    ASSERT_TRUE(wintest::pumpUntil([&] { return form.main->tracker().NewKHz == 7074; }, 10000));
    EXPECT_EQ(form.main->Label3.caption(), "7074");
    EXPECT_EQ(form.files.writes.back().second, "07.074000\r\n");
}
