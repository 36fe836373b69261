// The link and automation clients against the link publisher and its scripted behaviours on the
// private bus. The bus names and object paths in use are checked as they appear on the bus
// (PublisherProcess, e2e).
#include "bus_fixture.h"

#include "adapters/qt/dbus_automation.h"
#include "adapters/qt/dbus_link_client.h"
#include "base/errors.h"

using namespace testing_support;
using veltaro::LinkError;
using Values = std::vector<std::string>;
using Address = veltaro::ILinkClient::Address;

namespace {

const Address Commander{"CI-V Commander", "DDEServer", "XmitFreq"};

// Milliseconds that f() took.
template <class F> qint64 msTaken(F f) {
    QElapsedTimer clock;
    clock.start();
    f();
    return clock.elapsed();
}

// The publisher standing in for one program, scripted from standard input: ITEM=VALUE pairs and
// options (veltaro-link-publisher --help).
std::unique_ptr<Child> publisher(const char* as, const QStringList& args) {
    return startOnBus(PUBLISHER, QStringList{"--stdin", "--as", as} + args, "ready");
}
std::unique_ptr<Child> server(const QStringList& args) {
    return publisher("commander", args);
}

class LinkClientTest : public ::testing::Test {
protected:
    // Links the item; values go to `to`, losses are counted in `lost`, and a loss disconnects
    // (with nothing left to end).
    void link(Values& to, const Address& address = Commander) {
        client.connect(
            address, [&to](const std::string& v) { to.push_back(v); },
            [this] { ++lost, client.disconnect(); });
    }

    // The reason of the LinkError that linking raises; empty when it linked.
    std::string linkFailure(const Address& address) {
        try {
            link(got, address);
        } catch (const LinkError& e) {
            return e.what();
        }
        return {};
    }

    veltaro::qt::DBusLinkClient client{theBus().connection(), 1000};
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

// The reason reads as the user sees it on the received box.
TEST_F(LinkClientTest, ConnectFailsWithLinkErrorWithinItsBound) {
    enum Server { None, Running, Stopped };
    const std::tuple<const char*, Server, Address> cases[] = {
        {"the bus name has no owner", None, Commander},
        {"the program has no item Nope", Running, {"CI-V Commander", "DDEServer", "Nope"}},
        {"the bus name has no owner", None, {"", "DDEServer", "XmitFreq"}},
        {"no answer within 1 s", Stopped, Commander}};
    for (const auto& [reason, kind, address] : cases) {
        SCOPED_TRACE(reason);
        auto s = kind == None ? nullptr : server({"XmitFreq=1"});
        if (kind == Stopped)
            sendSignal(*s, SIGSTOP);
        std::string why;
        EXPECT_LT(msTaken([&] { why = linkFailure(address); }), 2500);
        EXPECT_EQ(why, reason);
        if (kind == Running) {
            // A failed connect leaves no subscription behind, nor a watch on the name.
            EXPECT_TRUE(command(*s, "set Nope 5"));
            s.reset();
            spin(100);
        }
        EXPECT_TRUE(got.empty());
        EXPECT_EQ(lost, 0);
    }
}

// A link ends by disconnect, by a new connect, or by the end of its server, which is reported once
// and only for the current link. Values received but not yet delivered (no event loop ran) go
// with the link, and no ended link follows a new owner of the name.
TEST_F(LinkClientTest, EndedLinksDeliverNothingMore) {
    auto s = server({"XmitFreq=14074"});
    link(got);
    s->send("set XmitFreq 14100");
    QThread::msleep(300);
    client.disconnect();
    Values second, third;
    link(second);
    s->send("set XmitFreq 14200");
    QThread::msleep(300);
    link(third); // replaces the second link
    EXPECT_TRUE(command(*s, "set XmitFreq 14300"));
    ASSERT_TRUE(waitUntil([&] { return third.size() == 2; }, 3000));
    spin(100);
    EXPECT_EQ(got, Values{"14074"});
    EXPECT_EQ(second, Values{"14100"});
    EXPECT_EQ(third, (Values{"14200", "14300"}));

    s.reset(); // killed (SIGKILL) without a word to its clients
    EXPECT_TRUE(waitUntil([&] { return lost == 1; }, 3000));
    s = server({"XmitFreq=7074"});
    EXPECT_TRUE(command(*s, "set XmitFreq 7080"));
    spin(100);
    EXPECT_EQ(third.size(), 2u);
    link(got);
    EXPECT_EQ(got, (Values{"14074", "7080"}));
    EXPECT_EQ(lost, 1);
}

// A restart of the server (a new owner of the name) ends the link, and a watch tells when the
// name gets an owner, also one that arrived just before the watch began.
TEST_F(LinkClientTest, ANewOwnerIsALossAndAWatchSeesTheServerAppear) {
    int appeared = 0;
    client.watch(Commander, [&] { ++appeared; });
    EXPECT_FALSE(waitUntil([&] { return appeared > 0; }, 200));
    auto s = server({"XmitFreq=14074"});
    ASSERT_TRUE(waitUntil([&] { return appeared == 1; }, 3000));
    link(got);
    // Another process takes the name over while the first still runs.
    auto next = server({"XmitFreq=7074", "--replace"});
    EXPECT_TRUE(waitUntil([&] { return lost == 1; }, 3000));
    client.watch(Commander, [&] { ++appeared; }); // owned already: told at once
    EXPECT_TRUE(waitUntil([&] { return appeared == 2; }, 1000));
    link(got);
    EXPECT_EQ(got, (Values{"14074", "7074"}));
    client.watch(Commander, [&] { ++appeared; }); // linked: nothing to watch for
    next.reset();
    EXPECT_TRUE(waitUntil([&] { return lost == 2; }, 3000));
    spin(100);
    EXPECT_EQ(appeared, 2);
}

// The publisher as FTLink; Frequency=MHZ sets the value it reads back.
class AutomationTest : public ::testing::Test {
protected:
    static std::unique_ptr<Child> ftlink(QStringList args) { return publisher("ftlink", args); }
    void connect() { client.connect(veltaro::IAutomationClient::Launch::RunningOnly); }
    // The first value a read returns instead of throwing within ms.
    std::optional<double> read(int ms) {
        std::optional<double> value;
        waitUntil(
            [&] {
                try {
                    value = client.frequencyMHz();
                } catch (const LinkError&) {
                }
                return value.has_value();
            },
            ms);
        return value;
    }
    veltaro::qt::DBusAutomationClient client{theBus().connection()};
};

// The objects belong to the server process that made them: a server that restarts is followed
// only after a new connect, and the ended one makes reads fail.
TEST_F(AutomationTest, FrequencyFollowsTheServerThatAnsweredUntilItEnds) {
    EXPECT_THROW(client.frequencyMHz(), LinkError); // nothing held yet
    int appeared = 0;
    client.watch([&] { ++appeared; });
    auto s = ftlink({"Frequency=14.074"});
    ASSERT_TRUE(waitUntil([&] { return appeared == 1; }, 3000));
    connect();
    EXPECT_EQ(client.frequencyMHz(), 14.074); // read while connecting
    ASSERT_TRUE(command(*s, "set Frequency 7"));
    EXPECT_TRUE(waitUntil([&] { return read(200) == 7.0; }, 3000));

    s.reset();
    EXPECT_TRUE(waitUntil([&] { return !read(0); }, 1000));
    s = ftlink({"Frequency=7.074"});
    EXPECT_EQ(read(300), std::nullopt);
    connect();
    EXPECT_EQ(read(3000), 7.074);
    client.disconnect();
    EXPECT_THROW(client.frequencyMHz(), LinkError);
    // A server that hangs fails the next connect, and what an earlier connect made goes too.
    connect();
    sendSignal(*s, SIGSTOP);
    EXPECT_LT(msTaken([&] { EXPECT_THROW(connect(), LinkError); }), 1000);
    EXPECT_THROW(client.frequencyMHz(), LinkError);
    EXPECT_EQ(appeared, 1);
}

TEST_F(AutomationTest, ConnectFailsQuicklyWithoutAServerItsTrxInterfaceOrAFrequency) {
    const std::pair<const char*, std::string> cases[] = {
        {"", "the bus name has no owner"},
        {"--no-trx", "the program's object has no frequency"},
        {"--fail", "the program answered an error: org.veltaro.LinkPublisher.Error.Failed"},
        {"--silent", "no answer within 250 ms"}};
    for (const auto& [flag, reason] : cases) {
        SCOPED_TRACE(flag);
        auto s = *flag ? ftlink({"Frequency=14.074", flag}) : nullptr;
        std::string why;
        EXPECT_LT(msTaken([&] {
                      try {
                          connect();
                      } catch (const LinkError& e) {
                          why = e.what();
                      }
                  }),
                  1000);
        EXPECT_EQ(why, reason);
        EXPECT_THROW(client.frequencyMHz(), LinkError);
    }
}

} // namespace
