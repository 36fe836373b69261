// The network protocols' texts: Hz, rigctld's reply lines and line splitting, XML-RPC responses,
// RadioInfo datagrams and the choice of radio. The sources on real sockets are in tests/e2e.
#include "protocols/rig_protocols.h"

#include <gtest/gtest.h>

using namespace veltaro;

namespace {

TEST(Hertz, OnlyPlainDecimalHertzInsideTheRange) {
    const std::pair<const char*, std::int64_t> good[] = {
        {" 14074000\r\n", 14074000}, {"14074000.4", 14074000}, {"14074000.5", 14074001},
        {"00007074000", 7074000},    {"1000", 1000},           {"99999999999", 99999999999}};
    for (const auto& [text, hz] : good)
        EXPECT_EQ(parseHertz(text), hz) << '"' << text << '"';
    // 999 Hz is no radio frequency.
    for (const char* text : {"999", "100000000000", "99999999999.5",
                             "123456789012345678901234567890", "-14074000", "14074000 Hz", ""})
        EXPECT_EQ(parseHertz(text), std::nullopt) << '"' << text << '"';
}

// Each line after each request: its kind, its value, and whether it ends the reply.
TEST(Rigctld, ClassifiesReplyLinesForTheRequestOutstanding) {
    using R = RigctldRequest;
    using L = RigctldLine;
    struct Case {
        R asked;
        const char* line;
        L::Kind kind;
        std::int64_t value; // hz, code, or split
        bool ends;
        std::string_view vfo = "";
    } cases[] = {
        {R::Frequency, "14074000", L::Frequency, 14074000, true},
        {R::Frequency, "Frequency: 7074000\r", L::Frequency, 7074000, true},
        {R::Frequency, "RPRT -11", L::Report, -11, true},
        {R::Frequency, "RPRT 0", L::Report, 0, true},
        {R::Frequency, "VFOA", L::Extra, 0, false},
        {R::Frequency, "VFO: VFOB", L::Extra, 0, false},
        {R::Frequency, "  ", L::Extra, 0, false},
        {R::Frequency, "RPRT 2147483648", L::Malformed, 0, true},
        {R::Frequency, "1", L::Malformed, 0, true},
        {R::Split, "1", L::Split, 1, false},
        {R::Split, "Split: 0", L::Split, 0, false},
        {R::Split, "VFOB", L::Vfo, 0, true, "VFOB"},
        {R::Split, "TX VFO: SubA", L::Vfo, 0, true, "SubA"},
        {R::Split, "RPRT -1", L::Report, -1, true},
        {R::Split, "2", L::Malformed, 0, true},
        {R::SplitFrequency, "TX Frequency: 14076000", L::Frequency, 14076000, true},
    };
    for (const Case& c : cases) {
        const L r = classifyRigctldLine(c.line, c.asked);
        SCOPED_TRACE(std::string(rigctldRequestText(c.asked)) + c.line);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(c.kind == L::Frequency ? r.hz : c.kind == L::Report ? r.code : r.split, c.value);
        EXPECT_EQ(endsRigctldReply(r, c.asked), c.ends);
        EXPECT_EQ(r.vfo, c.vfo);
    }
}

TEST(Rigctld, SplitsLinesUpToTheLimitFinishedOrNot) {
    LineSplitter s(9);
    std::string_view line;
    s.append("1407");
    EXPECT_EQ(s.next(&line), LineSplitter::Status::More);
    s.append("4000\r\nRPRT 0\n123456789");
    ASSERT_EQ(s.next(&line), LineSplitter::Status::Line);
    EXPECT_EQ(line, "14074000\r");
    ASSERT_EQ(s.next(&line), LineSplitter::Status::Line);
    EXPECT_EQ(line, "RPRT 0");
    EXPECT_EQ(s.next(&line), LineSplitter::Status::More); // nine, unfinished: still waiting
    s.append("0");
    EXPECT_EQ(s.next(&line), LineSplitter::Status::TooLong);
    s.append("7074000\n1234567890\nVFOA\n"); // the held bytes went; a finished long line fails too
    ASSERT_EQ(s.next(&line), LineSplitter::Status::Line);
    EXPECT_EQ(line, "7074000");
    EXPECT_EQ(s.next(&line), LineSplitter::Status::TooLong);
    EXPECT_EQ(s.next(&line), LineSplitter::Status::More);
}

std::string response(const std::string& value) {
    return "<?xml version=\"1.0\"?><methodResponse><params><param>" + value +
           "</param></params></methodResponse>";
}

TEST(XmlRpc, ReadsTheOneValueAndRejectsTheRest) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {response("<value><string>14074000</string></value>"), "14074000"},
        {response("<value>IC-7300</value>"), "IC-7300"},
        {response("<value><i4>1</i4></value>"), "1"},
        {response("<value><i8>7074000</i8></value>"), "7074000"},
        {response("<value><double>14074000.0</double></value>"), "14074000.0"},
        {response("<value/>"), ""},
        {response("\n  <value>\n    <string>IC-7300</string>\n  </value>\n"), "IC-7300"},
        {response("<value a='1'><!-- x --><string>&lt;&#65;&#x42;&amp;&quot;&apos;&gt;"
                  "<![CDATA[&lt;]]></string></value>"),
         "<AB&\"'>&lt;"},
        {"\xEF\xBB\xBF<?xml version='1.0' encoding='UTF-8'?>\r\n" +
             response("<value>a\r\nb</value>").substr(21),
         "a\nb"},
        {response("<value><string>a</string></value></param><param><value>b</value>"),
         std::nullopt},
        {response("<value><array><data><value>1</value></data></array></value>"), std::nullopt},
        {response("<value><string>a<b/></string></value>"), std::nullopt},
        {response("<value>1<i4>1</i4></value>"), std::nullopt},
        {response("<value><string>&bogus;</string></value>"), std::nullopt},
        {response("<value><string>&#0;</string></value>"), std::nullopt},
        {response("<value><string>\x01</string></value>"), std::nullopt},
        {response("<value><string>\xC3</string></value>"), std::nullopt}, // not UTF-8
        {"<!DOCTYPE x>" + response("<value>1</value>"), std::nullopt},
        {"<?xml version=\"2.0\"?>" + response("<value>1</value>").substr(21), std::nullopt},
        {response("<value>1</value>") + "<x/>", std::nullopt},
        {"<methodResponse><params></params></methodResponse>", std::nullopt},
        {"<methodCall/>", std::nullopt},
        {"", std::nullopt},
        {"<methodResponse><fault><value><struct><member><name>faultString</name>"
         "<value> busy\n now </value></member></struct></value></fault></methodResponse>",
         std::nullopt},
        {response("<value><string>14074000</string>"), std::nullopt}}; // cut short
    for (const auto& [body, value] : cases) {
        SCOPED_TRACE(body);
        std::string error;
        EXPECT_EQ(parseXmlRpcResponse(body, &error), value);
        EXPECT_EQ(error.empty(), value.has_value()) << error;
        if (body.find("busy") != body.npos) {
            EXPECT_EQ(error, "fault: faultString busy now");
        }
    }
    for (const char* none : {"", "  ", "none", "NONE"})
        EXPECT_TRUE(isNoFlrigTransceiver(none)) << none;
    for (const char* rig : {"IC-7300", "Nonesuch"})
        EXPECT_FALSE(isNoFlrigTransceiver(rig)) << rig;
}

std::string radioInfo(const std::string& fields) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<RadioInfo><app>N1MM</app>" + fields +
           "<Mode>CW</Mode></RadioInfo>";
}

TEST(RadioInfo, ReadsTheFourFieldsInTensOfHertzAndRejectsTheRest) {
    const std::string two = "<RadioNr>2</RadioNr><Freq>1407400</Freq><TXFreq>1407650</TXFreq>"
                            "<ActiveRadioNr>1</ActiveRadioNr>";
    std::string reason;
    const auto info = parseRadioInfo(radioInfo(two), &reason);
    ASSERT_TRUE(info) << reason;
    EXPECT_EQ(std::tuple(info->radio, info->rxHz, info->txHz, info->activeRadio),
              std::tuple(2, 14074000, 14076500, 1));
    const auto with = [&](const std::string& from, const std::string& to) {
        std::string s = radioInfo(two);
        return s.replace(s.find(from), from.size(), to);
    };
    const std::string padding(MaxRadioInfoBytes - radioInfo(two).size(), ' ');
    EXPECT_TRUE(parseRadioInfo(radioInfo(two) + padding, &reason)) << reason;
    EXPECT_TRUE(parseRadioInfo(with("<TXFreq>1407650", "<TXFreq> 9999999999 "), &reason));
    EXPECT_TRUE(parseRadioInfo(with("<Mode>CW</Mode>", "<Rotors><r>1</r></Rotors>"), &reason));
    const std::pair<std::string, const char*> rejected[] = {
        {radioInfo(two) + padding + " ", "larger than 8192 bytes"},
        {with("<TXFreq>1407650</TXFreq>", ""), "no <TXFreq>"},
        {with("<ActiveRadioNr>1", "<ActiveRadioNr>1</ActiveRadioNr><ActiveRadioNr>2"),
         "<ActiveRadioNr> twice"},
        {with("<TXFreq>1407650", "<TXFreq>10000000000"), "<TXFreq> is no number up to"},
        {with("<Freq>1407400", "<Freq>-1407400"), "<Freq> is no number up to"},
        {with("<RadioNr>2", "<RadioNr>256"), "<RadioNr> is no number up to 255"},
        {with("<RadioNr>2", "<RadioNr>0"), "radio number 0"},
        {with("<TXFreq>1407650", "<TXFreq>99"), "a frequency below 1000 Hz"},
        {with("<Freq>1407400", "<Freq><b>1</b>"), "an element inside <Freq>"},
        {with("<Mode>CW</Mode>", "<Rotors><r><s/></r></Rotors>"), "bad XML: elements nested"},
        {with("<Mode>CW</Mode></RadioInfo>", ""), "bad XML: cut short inside <RadioInfo>"},
        {"<contactinfo><RadioNr>1</RadioNr></contactinfo>", "a <contactinfo> datagram"}};
    for (const auto& [datagram, why] : rejected) {
        EXPECT_FALSE(parseRadioInfo(datagram, &reason)) << datagram;
        EXPECT_TRUE(reason.starts_with(why)) << reason;
    }
}

// Two radios: the active one is followed, whichever radio's datagram says so; or a chosen one.
TEST(RadioInfo, FollowsTheActiveRadioOrTheChosenOne) {
    RadioChooser active, second(2);
    const RadioInfo sequence[] = {
        {1, 0, 14074000, 2}, {2, 0, 7074000, 2}, {1, 0, 14075000, 1}, {2, 0, 7075000, 1}};
    const std::optional<std::int64_t> followed[][2] = {
        {std::nullopt, std::nullopt}, {7074000, 7074000}, {14075000, 7074000}, {14075000, 7075000}};
    for (std::size_t i = 0; i < std::size(sequence); ++i) {
        EXPECT_EQ(active.take(sequence[i]), followed[i][0]) << i;
        EXPECT_EQ(second.take(sequence[i]), followed[i][1]) << i;
    }
}

} // namespace
