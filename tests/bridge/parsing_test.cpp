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
        const char* host; // nullptr: rejected
        quint16 port;
    };
    const Case cases[] = {
        {"", "127.0.0.1", 4532},
        {"4533", "127.0.0.1", 4533},
        {"1", "127.0.0.1", 1},
        {"65535", "127.0.0.1", 65535},
        {"rig.local:4532", "rig.local", 4532},
        {"192.168.1.20:12345", "192.168.1.20", 12345},
        {"shack-pi_2:7", "shack-pi_2", 7},
        {"[::1]:4532", "::1", 4532},
        {"[fe80::1]:80", "fe80::1", 80},
        {"0", nullptr, 0},
        {"65536", nullptr, 0},
        {"99999999", nullptr, 0},
        {"-1", nullptr, 0},
        {"+4532", nullptr, 0},
        {" 4532", nullptr, 0},
        {"rig", nullptr, 0},
        {"rig:", nullptr, 0},
        {":4532", nullptr, 0},
        {"rig:port", nullptr, 0},
        {"rig:45x2", nullptr, 0},
        {"::1:4532", nullptr, 0},
        {"[::1]", nullptr, 0},
        {"[rig]:4532", nullptr, 0},
        {"[::1]:0", nullptr, 0},
        {"a..b:4532", nullptr, 0},
        {"-rig:4532", nullptr, 0},
        {"my rig:4532", nullptr, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        QString host = QStringLiteral("untouched"), error;
        quint16 port = 1234;
        const bool ok = parseHostPort(QString::fromLatin1(c.text), QStringLiteral("127.0.0.1"),
                                      4532, &host, &port, &error);
        ASSERT_EQ(ok, c.host != nullptr) << error.toStdString();
        if (ok) {
            EXPECT_EQ(host, QString::fromLatin1(c.host));
            EXPECT_EQ(port, c.port);
        } else {
            EXPECT_EQ(host, QStringLiteral("untouched"));
            EXPECT_EQ(port, 1234);
            EXPECT_TRUE(error.startsWith(QStringLiteral("bad address \"") + c.text + '"'))
                << error.toStdString();
            EXPECT_FALSE(error.contains('\n'));
        }
    }
    EXPECT_EQ(formatHostPort(QStringLiteral("::1"), 4532), QStringLiteral("[::1]:4532"));
    EXPECT_EQ(formatHostPort(QStringLiteral("rig"), 1), QStringLiteral("rig:1"));
}

TEST(Hertz, OnlyPlainDecimalHertzInsideTheRange) {
    const std::pair<const char*, std::optional<qint64>> cases[] = {
        {"14074000", 14074000},
        {" 14074000\r\n", 14074000},
        {"14074000.000000", 14074000},
        {"14074000.4", 14074000},
        {"14074000.5", 14074001},
        {"00007074000", 7074000},
        {"1000", 1000},
        {"999", std::nullopt},
        {"14.074", std::nullopt}, // MHz by mistake: 14 Hz is no radio frequency
        {"0", std::nullopt},
        {"99999999999", 99999999999},
        {"100000000000", std::nullopt},
        {"99999999999.5", std::nullopt},
        {"123456789012345678901234567890", std::nullopt},
        {"-14074000", std::nullopt},
        {"+14074000", std::nullopt},
        {"1.4074e7", std::nullopt},
        {"14074000 Hz", std::nullopt},
        {"14 074 000", std::nullopt},
        {"0x1000", std::nullopt},
        {".5", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
    };
    for (const auto& [text, hz] : cases)
        EXPECT_EQ(bridge::parseHertz(QByteArrayView(text)), hz) << '"' << text << '"';
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
    struct Case {
        const char* line;
        K kind;
        qint64 hz = 0;
        int code = 0;
    };
    const Case cases[] = {
        {"14074000", K::Frequency, 14074000},
        {"14074000\r", K::Frequency, 14074000},
        {"Frequency: 7074000", K::Frequency, 7074000},
        {"VFOA", K::Extra},
        {"currVFO", K::Extra},
        {"Main", K::Extra},
        {"VFO: VFOB", K::Extra},
        {"", K::Extra},
        {"RPRT 0", K::Report, 0, 0},
        {"RPRT -11", K::Report, 0, -11},
        {"RPRT x", K::Malformed},
        {"RPRT", K::Malformed},
        {"garbage", K::Malformed},
        {"get_freq:", K::Malformed},
        {"Frequency:", K::Malformed},
        {"14.074", K::Malformed},
        {"VFOZ", K::Malformed},
        {"145000000 VFOA", K::Malformed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const RigctldLine r = classifyRigctldLine(QByteArrayView(c.line));
        EXPECT_EQ(r.kind, c.kind);
        if (c.kind == K::Frequency) {
            EXPECT_EQ(r.hz, c.hz);
        }
        if (c.kind == K::Report) {
            EXPECT_EQ(r.code, c.code);
        }
    }
}

TEST(XmlRpc, ReadsTheOneValueAndRejectsFaultsAndGarbage) {
    const auto wrap = [](const char* value) {
        return QByteArray("<?xml version=\"1.0\"?><methodResponse><params><param>") + value +
               "</param></params></methodResponse>";
    };
    struct Case {
        QByteArray body;
        std::optional<QString> value;
    };
    const Case cases[] = {
        {wrap("<value><string>14074000</string></value>"), QStringLiteral("14074000")},
        {wrap("<value>IC-7300</value>"), QStringLiteral("IC-7300")},
        {wrap("<value><i4>7074000</i4></value>"), QStringLiteral("7074000")},
        {wrap("<value><double>14074000.0</double></value>"), QStringLiteral("14074000.0")},
        {wrap("<value><string></string></value>"), QString()},
        {wrap("\n  <value>\n    <string>IC-7300</string>\n  </value>\n"),
         QStringLiteral("IC-7300")},
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
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        QString error;
        const auto v = parseXmlRpcResponse(c.body, &error);
        EXPECT_EQ(v, c.value);
        EXPECT_EQ(error.isEmpty(), c.value.has_value()) << error.toStdString();
    }
    EXPECT_TRUE(xmlRpcCall("rig.get_vfo").contains("<methodName>rig.get_vfo</methodName>"));
}

TEST(XmlRpc, NoTransceiverIsAnEmptyNameOrNone) {
    for (const char* none : {"", "  ", "NONE", "none"})
        EXPECT_TRUE(isNoTransceiver(QString::fromLatin1(none))) << none;
    for (const char* rig : {"IC-7300", "FT-991A", "Nonesuch"})
        EXPECT_FALSE(isNoTransceiver(QString::fromLatin1(rig))) << rig;
}

} // namespace
