// The DDEML client link against the stand-in server (a separate process).
#include "platform/errors.h"
#include "platform/win32/dde_link_client.h"
#include "support.h"

#include <gtest/gtest.h>

using veltaro::win32::DdeLinkClient;

namespace {

// A client recording each delivery and whether the set-up had returned by then.
struct Link {
    DdeLinkClient client;
    std::vector<std::string> values;
    std::vector<bool> returnedAtDelivery;
    bool returned = false;
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
    wintest::DdeStandIn server("--commander 14074 --hrd 50313000");
    ASSERT_TRUE(server.ready());
    for (const auto& [d, expected] :
         {std::pair{veltaro::CommanderLink, "14074"}, {veltaro::HrdLink, "50313000"}}) {
        SCOPED_TRACE(d.topic);
        Link link;
        link.open(d.topic, d.item);
        ASSERT_EQ(link.values, std::vector<std::string>{expected});
        EXPECT_FALSE(link.returnedAtDelivery[0]);
        EXPECT_TRUE(link.client.linked());
    }
}

TEST(DdeLink, AdvisedChangesArriveInOrderAndStopAfterLinkModeZero) {
    wintest::DdeStandIn server("--commander 7074 --then 14074,14084,21074,28074");
    ASSERT_TRUE(server.ready());
    Link link;
    link.open(veltaro::CommanderLink.topic, veltaro::CommanderLink.item);
    ASSERT_TRUE(wintest::pumpUntil([&] { return link.values.size() >= 5; }, 10000))
        << ::testing::PrintToString(link.values);
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
        EXPECT_THROW(link.open(topic, "XmitFreq"), veltaro::LinkError);
        EXPECT_TRUE(link.values.empty());
        EXPECT_FALSE(link.client.linked());
    }
}

TEST(DdeLink, NoServerLeavesTheCommanderBoxTickedWithoutSaving) {
    DdeLinkClient client;
    wintest::Form form;
    form.build(nullptr, &client).CheckCommander.click();
    EXPECT_EQ(form.main->CheckCommander.value(), 1);
    EXPECT_TRUE(form.settings.writes.empty());
    EXPECT_TRUE(form.dialogs.messages.empty());
    EXPECT_FALSE(client.linked());
}
