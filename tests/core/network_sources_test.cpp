// The sources that reach a rig server or a logger over the network, against a scripted server:
// the requests of each round and the reading they give (split or dial), one request at a time,
// the link's state (linked, lost on silence or a closed connection), RadioInfo's choice of radio
// and staleness; the exact Hz-to-kHz floor of the tracker; the address rules.
#include "net_fakes.h"
#include "protocols/net_address.h"
#include "relay/controller_link.h"
#include "relay/tracker.h"
#include "sources/flrig_source.h"
#include "sources/radio_info_source.h"
#include "sources/rigctld_source.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace veltaro;
using namespace veltaro::test;

namespace {

using Script = std::vector<std::pair<std::string, std::string>>;

template <class Source> struct Rig {
    // Extra arguments go to the source after the network, the clock and the address.
    template <class... Extra>
    explicit Rig(Extra... extra)
        : source(
              network, clock,
              [] {
                  return NetAddress{"127.0.0.1", 4532};
              },
              extra...) {
        source.setHandlers({[this](const Reading& r) { readings.push_back(r.hz); },
                            [this] { events += "linked "; },
                            [this](const std::string&) { events += "lost "; }, nullptr,
                            [this](const std::string& t) { notices.push_back(t); }});
        source.start();
    }
    // Plays the server: each request (checked against the script, only one waiting at any time)
    // gets its reply, in reads cut at '|'. A poll starts each round.
    void play(const Script& script) {
        for (const auto& [request, reply] : script) {
            source.poll();
            ASSERT_EQ(link().sent.size(), answered + 1) << "one request at a time";
            EXPECT_EQ(asked(link().sent.back()), request);
            ++answered;
            for (std::size_t start = 0, bar = 0; bar != reply.npos; start = bar + 1) {
                bar = reply.find('|', start);
                link().reply(reply.substr(start, bar - start));
            }
        }
    }
    FakeStreamLink& link() { return *network.link; }
    void acceptAfresh() {
        answered = 0;
        link().sent.clear();
        link().accept();
    }
    // flrig's method, rigctld's line.
    static std::string asked(const std::string& sent) {
        const auto at = sent.find("<methodName>");
        return at == sent.npos ? sent : sent.substr(at + 12, sent.find("</methodName>") - at - 12);
    }

    FakeNetwork network;
    FakeClock clock;
    Source source;
    std::size_t answered = 0;
    std::vector<std::int64_t> readings;
    std::string events;
    std::vector<std::string> notices;
};

struct Case {
    Script script;
    std::vector<std::int64_t> readings;
    const char* notice; // told once, or nullptr: nothing
    const char* events = "linked ";
};

void check(const auto& rig, const Case& c, const std::string& trace) {
    EXPECT_EQ(rig.readings, c.readings) << trace;
    EXPECT_EQ(rig.notices,
              c.notice ? std::vector<std::string>{c.notice} : std::vector<std::string>{})
        << trace;
    EXPECT_EQ(rig.events, c.events) << trace;
    EXPECT_EQ(rig.network.link->connects, 1) << "the connection is kept: " << trace;
}

// An error to a split question follows the dial for that round only (a radio switched off
// answers RPRT -5); a command the rig does not have (RPRT -4, -11) for the rest of the link. An
// error to "f" is no link until a good reading.
TEST(RigctldSource, FollowsTheTransmitFrequencyOrTheDial) {
    const Case cases[] = {
        {{{"s\n", "0\nVFOA\n"}, {"f\n", "14074000\n"}, {"s\n", "0\nVFOA\n"}, {"f\n", "7074000\n"}},
         {14074000, 7074000},
         nullptr},
        {{{"s\n", "1\nVF|OB\n"}, {"i\n", "1408|1000\r\n"}}, {14081000}, nullptr},
        {{{"s\n", "Split: 1\nTX VFO: VFOB\n"}, {"i\n", "TX Frequency: 14080000\n"}},
         {14080000},
         nullptr},
        {{{"s\n", "RPRT -5\n"},
          {"f\n", "14195000\n"},
          {"s\n", "1\nVFOB\n"},
          {"i\n", "14225000\n"},
          {"s\n", "1\nVFOB\n"},
          {"i\n", "RPRT -1\n"},
          {"f\n", "14195000\n"},
          {"s\n", "garbage\n"},
          {"f\n", "14195000\n"},
          {"s\n", "1\nVFOB\n"}},
         {14195000, 14225000, 14195000, 14195000},
         nullptr},
        {{{"s\n", "RPRT -11\n"},
          {"f\n", "7074000\n"},
          {"f\n", "RPRT -5\n"},
          {"f\n", "RPRT -5\n"},
          {"f\n", "garbage\n"},
          {"f\n", "7075000\n"}},
         {7074000, 7075000},
         "Hamlib at 127.0.0.1:4532: reading split is not available for this rig (RPRT -11). "
         "Following the dial frequency.",
         "linked lost linked "},
        {{{"s\n", "1\nVFOB\n"}, {"i\n", "RPRT -4\n"}, {"f\n", "7074000\n"}, {"f\n", "7075000\n"}},
         {7074000, 7075000},
         "Hamlib at 127.0.0.1:4532: reading the transmit frequency in split is not implemented "
         "for this rig (RPRT -4). Following the dial frequency."},
    };
    for (const auto& c : cases) {
        Rig<RigctldSource> rig;
        rig.link().accept(); // the first round starts at once
        rig.play(c.script);
        check(rig, c, c.script.front().second + c.script.back().second);
        EXPECT_TRUE(rig.source.recoversByItself()) << "connected: not started again";
        if (std::string(c.events) != "linked ") {
            EXPECT_EQ(rig.source.lossReason(), "the rig answered an error (RPRT -5)");
        }
    }
}

TEST(RigctldSource, SilenceOrAClosedConnectionLosesTheLinkUntilStartedAgain) {
    Rig<RigctldSource> rig;
    EXPECT_EQ(formatNetAddress(rig.link().to), "127.0.0.1:4532");
    rig.clock.now += RigServerSource::SilentMs - 1;
    rig.source.poll();
    EXPECT_EQ(rig.events, "");
    rig.clock.now += 1; // the connection is not made in time
    rig.source.poll();
    EXPECT_EQ(rig.events, "lost ");
    EXPECT_EQ(rig.source.lossReason(), "no answer within 3 s");
    EXPECT_FALSE(rig.link().open);
    EXPECT_FALSE(rig.source.recoversByItself()) << "the selector starts it again";

    rig.source.start(); // the selector's retry
    rig.link().accept();
    rig.play({{"s\n", "0\nVFOA\n"}, {"f\n", "14074000\n"}, {"s\n", "0\n"}}); // the VFO never comes
    rig.clock.now += RigServerSource::SilentMs - 1;
    rig.source.poll();
    EXPECT_EQ(rig.link().sent.size(), 3u) << "nothing asked while a reply is waiting";
    rig.clock.now += 1;
    rig.source.poll();
    EXPECT_EQ(rig.events, "lost linked lost ");
    EXPECT_EQ(rig.source.lossReason(), "no answer within 3 s");

    rig.source.start();
    rig.link().accept();
    rig.link().end();
    rig.source.poll();
    EXPECT_EQ(rig.events, "lost linked lost lost ");
    EXPECT_EQ(rig.link().connects, 3);
}

// A response as flrig's XML-RPC server writes it; "fault:TEXT" is a fault with that string.
std::string http(const std::string& value, const char* header = "") {
    const std::string body =
        "<?xml version=\"1.0\"?>\r\n<methodResponse>" +
        (value.starts_with("fault:")
             ? "<fault>\r\n\t<value><struct><member><name>faultCode</name><value><i4>-1</i4>"
               "</value></member><member><name>faultString</name><value>" +
                   value.substr(6) + "</value></member></struct></value>\r\n</fault>"
             : "<params><param>\r\n\t<value>" + value + "</value>\r\n</param></params>") +
        "</methodResponse>\r\n";
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n" + std::string(header) +
           "Content-length: " + std::to_string(body.size() - std::ranges::count(body, '|')) +
           "\r\n\r\n" + body;
}

// A fault to a split question while the transceiver is off follows the dial for that round;
// the fault of a method this flrig does not have, for the rest of the link.
TEST(FlrigSource, FollowsTheOtherVfoInSplitAndTheDialOtherwise) {
    const std::string x = "rig.get_xcvr", s = "rig.get_split", ab = "rig.get_AB",
                      dial = "rig.get_vfo";
    const Case cases[] = {
        {{{x, http("IC-7300")}, {s, http("<i4>0</i4>")}, {dial, http("14074000")}},
         {14074000},
         nullptr},
        {{{x, http("IC-7300")},
          {s, http("<int>1</int>")},
          {ab, http("A")},
          {"rig.get_vfoB", http("14080|000")},
          {s, http("1")},
          {ab, http("B")},
          {"rig.get_vfoA", http("7074000")}},
         {14080000, 7074000},
         nullptr},
        {{{x, http("IC-7300")},
          {s, http("fault:rig is off")},
          {dial, http("14195000")},
          {s, http("1")},
          {ab, http("fault:rig.get_AB: no answer")},
          {dial, http("14195000")},
          {s, http("1")},
          {ab, http("A")},
          {"rig.get_vfoB", http("14225000")}},
         {14195000, 14195000, 14225000},
         nullptr},
        {{{x, http("IC-7300")},
          {s, http("fault:rig.get_split: unknown method name")},
          {dial, http("14074000")},
          {dial, http("bad")},
          {dial, http("7074000")}},
         {14074000, 7074000},
         "flrig at 127.0.0.1:4532: this flrig has no method rig.get_split. Following the dial "
         "frequency."},
        {{{x, http("IC-7300")},
          {s, http("1")},
          {ab, http("fault:rig.get_AB: unknown method name")},
          {dial, http("14074000")},
          {dial, http("7074000")}},
         {14074000, 7074000},
         "flrig at 127.0.0.1:4532: this flrig has no method rig.get_AB. Following the dial "
         "frequency."},
    };
    for (const auto& c : cases) {
        Rig<FlrigSource> rig;
        rig.link().accept();
        rig.play(c.script);
        const std::string& request = rig.link().sent.front();
        const auto body = request.find("\r\n\r\n") + 4;
        EXPECT_TRUE(request.starts_with("POST /RPC2 HTTP/1.1\r\n"));
        EXPECT_NE(request.find("Content-Length: " + std::to_string(request.size() - body)),
                  request.npos);
        check(rig, c, c.script[1].second);
    }
}

TEST(FlrigSource, NoTransceiverIsNoLinkAndAClosingServerIsFollowedOnANewConnection) {
    Rig<FlrigSource> rig;
    rig.link().accept();
    rig.play({{"rig.get_xcvr", http("NONE")}});
    EXPECT_EQ(rig.events, "lost ");
    EXPECT_EQ(rig.source.lossReason(), "no transceiver");

    rig.source.start();
    rig.acceptAfresh();
    rig.play({{"rig.get_xcvr", http("FT-991", "Connection: close\r\n")}});
    EXPECT_EQ(rig.link().connects, 3) << "the next request waits for a new connection";
    rig.acceptAfresh();
    rig.play(
        {{"rig.get_split", http("0")}, {"rig.get_vfo", http("14074000", "Connection: close\r\n")}});
    rig.link().end(); // as announced, after the round
    rig.link().accept();
    EXPECT_EQ(rig.link().sent.size(), 2u) << "the next round waits for the poll";
    EXPECT_EQ(rig.events, "lost linked ");
    EXPECT_EQ(rig.readings, std::vector<std::int64_t>{14074000});
}

// A response whose head (up to its blank line) and body have the sizes given (0: as made).
std::string padded(std::size_t head, std::size_t body, bool cutBeforeTheBlankLineEnds) {
    const std::string made = http("IC-7300");
    std::string content = made.substr(made.find("\r\n\r\n") + 4);
    content.resize(std::max(body, content.size()), ' ');
    std::string top =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(content.size()) + "\r\nX-Pad: ";
    top.resize(std::max(head, top.size()), 'x');
    return top + (cutBeforeTheBlankLineEnds ? "\r\n\r|\n" : "\r\n\r\n") + content;
}

// What a server may send is bounded: a reply at the limit is read, one byte longer drops the
// link.
TEST(RigServerSources, RepliesAtTheLimitsAreReadAndLongerOnesDropped) {
    for (const auto& [line, lost] : {std::pair{256, false}, {257, true}}) {
        Rig<RigctldSource> rig;
        rig.link().accept();
        rig.play({{"s\n", "0\nVFOA\n"}, {"f\n", std::string(line - 8, ' ') + "14074000\n"}});
        EXPECT_EQ(rig.events, lost ? "lost " : "linked ") << "a line of " << line;
    }
    using Row = std::tuple<std::size_t, std::size_t, bool, const char*>;
    for (const auto& [head, body, cut, lost] :
         {Row{4096, 0, false, nullptr}, Row{4096, 0, true, nullptr},
          Row{4097, 0, false, "a reply header longer than 4096 bytes"},
          Row{4097, 0, true, "a reply header longer than 4096 bytes"},
          Row{0, 65536, false, nullptr},
          Row{0, 65537, false, "a reply body longer than 65536 bytes"}}) {
        Rig<FlrigSource> rig;
        rig.link().accept();
        rig.play({{"rig.get_xcvr", padded(head, body, cut)}});
        EXPECT_EQ(rig.events, lost ? "lost " : "linked ") << head << " " << body << " " << cut;
        EXPECT_EQ(rig.source.lossReason(), lost ? lost : "");
    }
}

std::string radioInfo(int radio, std::int64_t txHz, int active) {
    return "<?xml version=\"1.0\"?><RadioInfo><RadioNr>" + std::to_string(radio) +
           "</RadioNr><Freq>" + std::to_string(txHz / 10 - 100) + "</Freq><TXFreq>" +
           std::to_string(txHz / 10) + "</TXFreq><ActiveRadioNr>" + std::to_string(active) +
           "</ActiveRadioNr></RadioInfo>";
}

TEST(RadioInfoSource, FollowsTheChosenOrActiveRadioCountsGarbageAndGoesStale) {
    for (const auto& [chosen, followed] :
         {std::pair{0, std::vector<std::int64_t>{14074000, 14074000, 7074000}},
          std::pair{2, std::vector<std::int64_t>{7074000, 7074000}}}) {
        Rig<RadioInfoSource> rig([chosen] { return chosen; });
        const FakeDatagramSocket& socket = *rig.network.socket;
        EXPECT_EQ(formatNetAddress(socket.at), "127.0.0.1:4532");
        socket.arrive("<RadioInfo>garbage");
        socket.arrive(std::string(MaxRadioInfoBytes + 1, ' '));
        EXPECT_EQ(rig.events, "") << "bad datagrams link nothing";
        socket.arrive(radioInfo(1, 14074000, 1));
        socket.arrive(radioInfo(2, 7074000, 1));
        socket.arrive(radioInfo(1, 14075000, 2)); // the operator moves to radio 2
        EXPECT_EQ(rig.source.dropped(), 2u);
        EXPECT_EQ(rig.readings, followed);
        rig.clock.now += RadioInfoSource::StaleMs - 1;
        rig.source.poll();
        rig.clock.now += 1;
        rig.source.poll();
        rig.source.poll();
        socket.arrive(radioInfo(2, 7075000, 2));
        EXPECT_EQ(rig.events, "linked lost linked ");
        EXPECT_TRUE(socket.open) << "still listening while stale";
    }
}

TEST(Tracker, HertzFloorToWholeKHzExactly) {
    FrequencyTracker tracker(NumberFormat{'.'});
    for (const auto& [hz, khz] : {std::pair<std::int64_t, std::int32_t>{14074999, 14074},
                                  {14075000, 14075},
                                  {99'999'999'999, 99999999}}) {
        const auto taken = tracker.take(Reading::hertz(hz));
        ASSERT_TRUE(taken) << hz;
        EXPECT_EQ(taken->receivedKHz, khz);
    }
    EXPECT_EQ(ControllerLink::frequencyCommand(tracker.relayedKHz()), "FA99999999000;");
    const auto half = tracker.take(Reading::hertz(144'174'995));
    ASSERT_TRUE(half && half->relay);
    EXPECT_EQ(half->relay->mhzText, "144.17500") << "a half rounds up, whatever the double";
    EXPECT_FALSE(tracker.take(Reading::hertz(std::int64_t(1) << 42)));
}

// The address forms, with blanks and IPv6.
TEST(NetAddress, ParsesAndWritesBackTheForms) {
    const auto check = [](const char* text, const std::string& written) {
        std::string why;
        const auto address = parseNetAddress(text, {"h", 1}, &why);
        EXPECT_EQ(address ? formatNetAddress(*address) : "", written) << text;
        EXPECT_EQ(why.empty(), bool(address)) << text;
    };
    check(" 4533\t", "h:4533");
    for (const char* same : {"[fe80::1%eth0]:1", "[::ffff:192.168.1.2]:65535",
                             "[1:2:3:4:5:6:7:8]:2", "rig.local:4532", "shack-pi_2:1", "rig:65535"})
        check(same, same);
    for (const char* bad : {"", "[1:2:3:4:5:6:7:8:9]:1", "[1::2::3]:1", "[::1.2.3]:1", "0", "65536",
                            "+4532", "rig", "rig:", ":4532", "rig:45x2", "::1:4532", "[::1]",
                            "[rig]:4532", "-rig:4532", "my rig:4532"})
        check(bad, "");
}

} // namespace
