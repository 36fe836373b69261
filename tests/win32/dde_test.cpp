// The DDEML hot link against the stand-in server (a separate process). Wine's DDEML never tells a
// client that the server ended the conversation (no XTYP_DISCONNECT): a loss is seen when the
// server registers its service again.
#include "adapters/win32/dde_link_client.h"
#include "base/errors.h"
#include "support.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using veltaro::ILinkClient;

namespace {

const ILinkClient::Address Commander{"CI-V Commander", "DDEServer", "XmitFreq"};

// The stand-in with Commander's and HRD's values and the changes that follow the start of a hot
// link, started once its services are registered, and ended (as a program that quits, or killed
// if it does not) when the object goes.
class StandIn {
public:
    explicit StandIn(const std::string& values) : ready_(wintest::binDir() + "\\dde.ready") {
        DeleteFileA(ready_.c_str());
        std::string command =
            "\"" + wintest::binDir() + "\\dde_standin.exe\" \"" + ready_ + "\" " + values;
        STARTUPINFOA si{};
        si.cb = sizeof si;
        CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &pi_);
        EXPECT_TRUE(wintest::pumpUntil(
            [&] { return GetFileAttributesA(ready_.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000));
    }
    // Ends the server as a crash does (nothing of it is cleaned up), or as a program that quits
    // does; with the window busy meanwhile, the server's end of the conversation comes before
    // the news of its service.
    enum class End { Crash, Quit, QuitWhileBusy };
    void end(End how) {
        if (how == End::Crash)
            TerminateProcess(pi_.hProcess, 1);
        DeleteFileA(ready_.c_str());
        if (how == End::QuitWhileBusy)
            WaitForSingleObject(pi_.hProcess, 5000);
        else
            wintest::pumpUntil([&] { return WaitForSingleObject(pi_.hProcess, 0) == 0; }, 5000);
    }
    ~StandIn() {
        end(End::Quit);
        TerminateProcess(pi_.hProcess, 1);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }

private:
    std::string ready_;
    PROCESS_INFORMATION pi_{};
};

// A client recording each value, marked "early" when it came before connect returned, and
// counting the losses it is told of.
struct Link {
    veltaro::win32::DdeLinkClient client;
    std::vector<std::string> values;
    bool connecting = false;
    int lost = 0;
    std::function<void()> onLost;

    void connect(const ILinkClient::Address& a) {
        connecting = true;
        client.connect(
            a, [this](const std::string& v) { values.push_back(v + (connecting ? " early" : "")); },
            [this] {
                ++lost;
                if (onLost)
                    onLost();
            });
        connecting = false;
    }
};

} // namespace

// A failed connect (no such service or item) delivers nothing and leaves no link behind. The
// current value comes before connect returns, then the Commander value changes every 30 ms; the
// link is ended or replaced after a few, and none of the changes still to come arrives.
TEST(DdeLink, CurrentValueFirstThenChangesInOrderUntilTheLinkEndsOrIsReplaced) {
    const std::vector<std::string> values{"7074 early", "14074", "14084", "21074", "21084",
                                          "24894",      "28074", "28084", "50313"};
    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced by a link to HRD" : "disconnected");
        const StandIn server("7074 50313000 14074 14084 21074 21084 24894 28074 28084 50313");
        Link link;
        for (const ILinkClient::Address& a :
             {ILinkClient::Address{"No Such Service", "DDEServer", "XmitFreq"},
              {"CI-V Commander", "DDEServer", "NoSuchItem"}})
            EXPECT_THROW(link.connect(a), veltaro::LinkError) << a.service << "!" << a.item;
        link.connect(Commander);
        ASSERT_TRUE(wintest::pumpUntil([&] { return link.values.size() >= 3; }, 10000));
        auto expected = link.values;
        EXPECT_EQ(expected,
                  std::vector<std::string>(values.begin(), values.begin() + expected.size()));
        if (replace) {
            link.connect({"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ"});
            expected.push_back("50313000 early");
        } else {
            link.client.disconnect();
        }
        wintest::pumpUntil([] { return false; }, 500);
        EXPECT_EQ(link.values, expected);
    }
}

// A connect to a service that no server offers fails while it is made;
// a watch on the service tells once when a server registers it, and the link is made then.
TEST(DdeLink, AbsentServiceFailsAtOnceAndItsRegistrationIsTold) {
    Link link;
    EXPECT_THROW(link.connect(Commander), veltaro::LinkError);
    int appeared = 0;
    link.client.watch(Commander, [&] { ++appeared; });
    const StandIn server("14074 14074000");
    EXPECT_TRUE(wintest::pumpUntil([&] { return appeared > 0; }, 2000));
    link.connect(Commander);
    EXPECT_EQ(link.values, std::vector<std::string>{"14074 early"});
    wintest::pumpUntil([] { return false; }, 200);
    EXPECT_EQ(appeared, 1);
}

// A server that quits, or crashes, and starts again: Wine tells the client nothing when the
// conversation ends, nor may Windows when a server crashes. A server that quits unregisters its
// service, which ends the link as lost; the registration by the new server does so where nothing
// came before (a crash). A watch set by the loss handler then hears of the new server at once,
// and linking again brings its value, also where the conversation that the old server ended
// lingers in Wine (its end handled before the news).
TEST(DdeLink, ServerStartedAgainEndsTheOldLinkAndIsLinkedAgain) {
    using End = StandIn::End;
    for (const End how : {End::Quit, End::QuitWhileBusy, End::Crash}) {
        SCOPED_TRACE(static_cast<int>(how));
        Link link;
        int appeared = 0;
        link.onLost = [&] { link.client.watch(Commander, [&] { ++appeared; }); };
        std::optional<StandIn> server(std::in_place, "14074 14074000");
        link.connect(Commander);
        server->end(how);
        server.reset();
        if (how != End::Crash) {
            EXPECT_TRUE(wintest::pumpUntil([&] { return link.lost == 1; }, 5000));
        }
        server.emplace("21074 21074000");
        EXPECT_TRUE(wintest::pumpUntil([&] { return appeared > 0; }, 5000));
        EXPECT_EQ(link.lost, 1);
        EXPECT_NO_THROW(link.connect(Commander));
        wintest::pumpUntil([] { return false; }, 200);
        EXPECT_EQ(link.values, (std::vector<std::string>{"14074 early", "21074 early"}));
        EXPECT_EQ(link.lost, 1);
        EXPECT_EQ(appeared, 1);
    }
}
