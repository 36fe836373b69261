// The DDEML hot link against the stand-in server (a separate process). The loss of a link is not
// tested: Wine's DDEML never tells a client that the server ended the conversation.
#include "platform/errors.h"
#include "platform/win32/dde_link_client.h"
#include "support.h"

#include <gtest/gtest.h>

#include <functional>

using veltaro::ILinkClient;
using veltaro::win32::DdeLinkClient;

namespace {

const ILinkClient::Address Commander{"CI-V Commander", "DDEServer", "XmitFreq"};
const ILinkClient::Address Hrd{"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ"};

// A client recording each value and whether connect had returned by then.
struct Link {
    DdeLinkClient client;
    std::vector<std::string> values;
    std::vector<bool> beforeReturn;
    bool connecting = false;

    void connect(const ILinkClient::Address& a) {
        connecting = true;
        const auto record = [this](const std::string& v) {
            values.push_back(v);
            beforeReturn.push_back(connecting);
        };
        client.connect(a, record, [] {});
        connecting = false;
    }
};

} // namespace

// The Commander value changes every 30 ms once linked; the link is ended or replaced after a few.
TEST(DdeLink, CurrentValueFirstThenChangesInOrderUntilTheLinkEndsOrIsReplaced) {
    const std::vector<std::string> changes{"7074",  "14074", "14084", "21074", "21084",
                                           "24894", "28074", "28084", "50313"};
    const struct {
        const char* what;
        std::function<void(Link&)> end;
        std::vector<std::string> after;
    } rows[] = {{"disconnect", [](Link& l) { l.client.disconnect(); }, {}},
                {"connect to HRD", [](Link& l) { l.connect(Hrd); }, {"50313000"}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        wintest::DdeStandIn server("--commander 7074 --hrd 50313000 --then 14074,14084,21074,"
                                   "21084,24894,28074,28084,50313");
        ASSERT_TRUE(server.ready());
        Link link;
        link.connect(Commander);
        ASSERT_EQ(link.beforeReturn, std::vector<bool>{true});
        ASSERT_TRUE(wintest::pumpUntil([&] { return link.values.size() >= 3; }, 10000));
        auto expected = link.values;
        EXPECT_EQ(expected,
                  std::vector<std::string>(changes.begin(), changes.begin() + expected.size()));
        r.end(link);
        // Time for the changes still to come, none of which may arrive.
        wintest::pumpUntil([] { return false; }, 500);
        expected.insert(expected.end(), r.after.begin(), r.after.end());
        EXPECT_EQ(link.values, expected);
        if (!r.after.empty()) {
            EXPECT_TRUE(link.beforeReturn.back()) << "delivered before connect returned";
        }
    }
}

// A failed connect delivers nothing and leaves no link behind: the next connect works.
TEST(DdeLink, UnknownServiceTopicOrItemFailsTheConnect) {
    wintest::DdeStandIn server("--commander 14074");
    ASSERT_TRUE(server.ready());
    Link link;
    for (const ILinkClient::Address& a :
         {ILinkClient::Address{"No Such Service", "DDEServer", "XmitFreq"},
          ILinkClient::Address{"CI-V Commander", "NoSuchTopic", "XmitFreq"},
          ILinkClient::Address{"CI-V Commander", "DDEServer", "NoSuchItem"}}) {
        SCOPED_TRACE(a.service + "|" + a.topic + "!" + a.item);
        EXPECT_THROW(link.connect(a), veltaro::LinkError);
        EXPECT_TRUE(link.values.empty());
    }
    link.connect(Commander);
    EXPECT_EQ(link.values, std::vector<std::string>{"14074"});
}
