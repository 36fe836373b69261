// The text rules of the polled radios: addresses, frequencies, rigctld lines, XML-RPC replies,
// and the reconnection delays.
#include "flrig_source.h"
#include "host_port.h"
#include "polling_source.h"
#include "rigctld_source.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace {

TEST(HostPort, AcceptsThePortTheHostAndBracketedIpv6) {
    struct Case {
        const char* text;
        const char* host;
        quint16 port;
    };
    const Case good[] = {{"", "127.0.0.1", 4532},
                         {"4533", "127.0.0.1", 4533},
                         {"1", "127.0.0.1", 1},
                         {"65535", "127.0.0.1", 65535},
                         {"rig.local:4532", "rig.local", 4532},
                         {"192.168.1.20:12345", "192.168.1.20", 12345},
                         {"shack-pi_2:7", "shack-pi_2", 7},
                         {"[::1]:4532", "::1", 4532}};
    for (const auto& c : good) {
        QString host, error;
        quint16 port = 0;
        ASSERT_TRUE(parseHostPort(c.text, "127.0.0.1", 4532, &host, &port, &error)) << c.text;
        EXPECT_EQ(host, c.host);
        EXPECT_EQ(port, c.port);
    }
    for (const char* bad :
         {"0", "65536", "-1", "+4532", " 4532", "rig", "rig:", ":4532", "rig:port", "rig:45x2",
          "::1:4532", "[::1]", "[rig]:4532", "[::1]:0", "-rig:4532", "my rig:4532"}) {
        SCOPED_TRACE(bad);
        QString host = "untouched", error;
        quint16 port = 1234;
        EXPECT_FALSE(parseHostPort(bad, "127.0.0.1", 4532, &host, &port, &error));
        EXPECT_EQ(host, "untouched");
        EXPECT_EQ(port, 1234);
        EXPECT_TRUE(error.startsWith(QString("bad address \"") + bad + '"')) << error.toStdString();
        EXPECT_FALSE(error.contains('\n'));
    }
    EXPECT_EQ(formatHostPort("::1", 4532), "[::1]:4532");
    EXPECT_EQ(formatHostPort("rig", 1), "rig:1");
}

TEST(Hertz, OnlyPlainDecimalHertzInsideTheRange) {
    const std::pair<const char*, qint64> good[] = {
        {"14074000", 14074000},   {" 14074000\r\n", 14074000}, {"14074000.000000", 14074000},
        {"14074000.4", 14074000}, {"14074000.5", 14074001},    {"00007074000", 7074000},
        {"1000", 1000},           {"99999999999", 99999999999}};
    for (const auto& [text, hz] : good)
        EXPECT_EQ(bridge::parseHertz(QByteArrayView(text)), hz) << '"' << text << '"';
    // "14.074": MHz by mistake; 14 Hz is no radio frequency.
    for (const char* text : {"999", "14.074", "0", "100000000000", "99999999999.5",
                             "123456789012345678901234567890", "-14074000", "+14074000", "1.4074e7",
                             "14074000 Hz", "14 074 000", "0x1000", ".5", "", "   "})
        EXPECT_EQ(bridge::parseHertz(QByteArrayView(text)), std::nullopt) << '"' << text << '"';
}

TEST(Backoff, DoublesUpToTheCapAndStartsOverAfterReset) {
    bridge::Backoff b(100, 2000);
    std::vector<int> got;
    for (int i = 0; i < 8; ++i)
        got.push_back(b.next());
    EXPECT_EQ(got, (std::vector<int>{100, 200, 400, 800, 1600, 2000, 2000, 2000}));
    b.reset();
    EXPECT_EQ(b.next(), 100);
}

TEST(RigctldLines, ClassifiesEveryKindOfLine) {
    using K = RigctldLine::Kind;
    const std::pair<const char*, qint64> frequencies[] = {
        {"14074000", 14074000}, {"14074000\r", 14074000}, {"Frequency: 7074000", 7074000}};
    for (const auto& [line, hz] : frequencies) {
        const RigctldLine r = classifyRigctldLine(QByteArrayView(line));
        EXPECT_EQ(r.kind, K::Frequency) << line;
        EXPECT_EQ(r.hz, hz) << line;
    }
    for (auto [line, code] : {std::pair{"RPRT 0", 0}, {"RPRT -11", -11}}) {
        const RigctldLine r = classifyRigctldLine(QByteArrayView(line));
        EXPECT_EQ(r.kind, K::Report) << line;
        EXPECT_EQ(r.code, code) << line;
    }
    for (const char* line : {"VFOA", "currVFO", "Main", "VFO: VFOB", ""})
        EXPECT_EQ(classifyRigctldLine(QByteArrayView(line)).kind, K::Extra) << line;
    for (const char* line : {"RPRT x", "RPRT", "garbage", "get_freq:", "Frequency:", "14.074",
                             "VFOZ", "145000000 VFOA"})
        EXPECT_EQ(classifyRigctldLine(QByteArrayView(line)).kind, K::Malformed) << line;
}

TEST(XmlRpc, ReadsTheOneValueAndRejectsFaultsAndGarbage) {
    const auto wrap = [](const char* value) {
        return QByteArray("<?xml version=\"1.0\"?><methodResponse><params><param>") + value +
               "</param></params></methodResponse>";
    };
    const std::pair<QByteArray, std::optional<QString>> cases[] = {
        {wrap("<value><string>14074000</string></value>"), "14074000"},
        {wrap("<value>IC-7300</value>"), "IC-7300"},
        {wrap("<value><i4>7074000</i4></value>"), "7074000"},
        {wrap("<value><double>14074000.0</double></value>"), "14074000.0"},
        {wrap("<value><string></string></value>"), QString()},
        {wrap("\n  <value>\n    <string>IC-7300</string>\n  </value>\n"), "IC-7300"},
        {wrap("<value><string>a</string></value></param><param><value>b</value>"), std::nullopt},
        {wrap("<value><array><data><value>1</value></data></array></value>"), std::nullopt},
        {"<methodResponse><fault><value><struct><member><name>faultString</name><value>"
         "unknown method</value></member></struct></value></fault></methodResponse>",
         std::nullopt},
        {"<methodResponse><params></params></methodResponse>", std::nullopt},
        {"<html><body>not found</body></html>", std::nullopt},
        {wrap("<value><string>14074000</string>"), std::nullopt}, // cut short
        {"", std::nullopt},
        {"14074000", std::nullopt},
    };
    for (const auto& [body, value] : cases) {
        SCOPED_TRACE(body.toStdString());
        QString error;
        EXPECT_EQ(parseXmlRpcResponse(body, &error), value);
        EXPECT_EQ(error.isEmpty(), value.has_value()) << error.toStdString();
    }
    EXPECT_TRUE(xmlRpcCall("rig.get_vfo").contains("<methodName>rig.get_vfo</methodName>"));
    for (const char* none : {"", "  ", "NONE", "none"})
        EXPECT_TRUE(isNoTransceiver(none)) << none;
    for (const char* rig : {"IC-7300", "FT-991A", "Nonesuch"})
        EXPECT_FALSE(isNoTransceiver(rig)) << rig;
}

} // namespace
