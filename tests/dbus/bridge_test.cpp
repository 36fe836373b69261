#include "bus_fixture.h"

#include "bridge_options.h"
#include "platform/qt/dbus_automation.h"
#include "platform/qt/dbus_link_client.h"
#include "publishers.h"
#include "stdin_source.h"
#include "sweep_source.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace testing_support;

namespace {

TEST(BridgeText, CommanderKilohertzKeepsOnlyARealFraction) {
    const std::pair<qint64, const char*> cases[] = {
        {14074000, "14074"},     {14074600, "14074.6"}, {14074650, "14074.65"},
        {14074001, "14074.001"}, {999, "0.999"},        {0, "0"},
    };
    for (const auto& [hz, text] : cases)
        EXPECT_EQ(bridge::kilohertzText(hz), QString::fromLatin1(text)) << hz;
}

// Publishers as letters (Commander, HRD, FTLink), the source and its [HOST:]PORT; "" rejected.
QString summary(const bridge::Options& o) {
    return QStringLiteral("%1%2%3 %4 %5")
        .arg(o.commander ? "C" : "", o.hrd ? "H" : "", o.ftlink ? "F" : "")
        .arg(static_cast<int>(o.source))
        .arg(o.hostPort);
}

TEST(BridgeOptions, ParsesPublishersSourcesAndValues) {
    const std::pair<QStringList, const char*> cases[] = {
        {{}, "CHF 0 "},
        {{"--as", "hrd"}, "H 0 "},
        {{"--as", "commander", "--as", "ftlink", "--stdin"}, "CF 1 "},
        {{"--stdin", "--stdin"}, "CHF 1 "},
        {{"--flood"}, "CHF 2 "},
        {{"--rigctld", "rig:4533"}, "CHF 3 rig:4533"},
        {{"--rigctld", "--verbose"}, "CHF 3 "},
        {{"--flrig", "12346"}, "CHF 4 12346"},
        {{"--stdin", "--flood"}, ""},
        {{"--as", "trx"}, ""},
        {{"--rate"}, ""},
        {{"--rate", "0"}, ""},
        {{"--step-hz", "ten"}, ""},
        {{"--interval", "-1"}, ""},
        {{"--bogus"}, ""},
        {{"stdin"}, ""},
    };
    for (const auto& [args, expected] : cases) {
        bridge::Options o;
        QString error;
        const bool ok = bridge::parseOptions(args, &o, &error);
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(ok ? summary(o) : QString(), QLatin1String(expected));
        EXPECT_TRUE(ok || (!error.isEmpty() && !error.contains('\n'))) << error.toStdString();
    }
    bridge::Options o;
    QString error;
    ASSERT_TRUE(bridge::parseOptions({"--step-hz", "100", "--rate", "50", "--interval", "250"}, &o,
                                     &error));
    EXPECT_EQ(std::tuple(o.stepHz, o.rate, o.intervalMs), std::tuple(100, 50, 250));
}

TEST(BridgeSweep, StepsThroughEachBandWindowThenHopsAndWraps) {
    int count = 0;
    const bridge::BandWindow* bands = bridge::sweepBands(&count);
    ASSERT_GE(count, 10);
    bridge::SweepPlan plan(30000);
    qint64 last = plan.current();
    EXPECT_EQ(last, bands[0].lowHz);
    int band = 0, hops = 0;
    for (int i = 0; i < 2000; ++i) {
        const qint64 hz = plan.next();
        if (hz == last + 30000) {
            EXPECT_LE(hz, bands[band].highHz);
        } else {
            // A hop lands on the bottom of the next band, and only once the step would overshoot.
            EXPECT_GT(last + 30000, bands[band].highHz);
            band = (band + 1) % count;
            EXPECT_EQ(hz, bands[band].lowHz);
            ++hops;
        }
        last = hz;
    }
    EXPECT_GT(hops, count); // went round at least once
}

TEST(BridgeStdin, ReadsOneFrequencyPerLineAndReportsTheRest) {
    bridge::StdinSource source(-1);
    std::vector<qint64> hz;
    QStringList status;
    QObject::connect(&source, &FrequencySource::frequencyHz, [&](qint64 v) { hz.push_back(v); });
    QObject::connect(&source, &FrequencySource::status, [&](const QString& s) { status << s; });
    source.feed("14074000\n\n  7000");
    source.feed("000 \r\nabc\n-5\n0\n1407");
    EXPECT_EQ(hz, (std::vector<qint64>{14074000, 7000000}));
    source.finish();
    source.finish();
    EXPECT_EQ(hz, (std::vector<qint64>{14074000, 7000000, 1407}));
    ASSERT_EQ(status.size(), 4); // abc, -5, 0, and the end of input once
    EXPECT_TRUE(status[0].contains("abc"));
    EXPECT_TRUE(status[3].contains("ended"));
}

// The bridge as a process, on the private bus.
class BridgeProcess : public ::testing::Test {
protected:
    static std::unique_ptr<Child> bridgeWith(const QStringList& args) {
        return startOnBus(QStringLiteral(BRIDGE), args);
    }
    static bool waitForOwner(const QString& name) {
        return waitUntil([&] { return theBus->hasOwner(name); }, 5000);
    }
    static bool exits(Child& c, int code) {
        return c.process().waitForFinished(5000) &&
               c.process().exitStatus() == QProcess::NormalExit && c.process().exitCode() == code;
    }
    const QString commanderName = QStringLiteral("org.veltaro.Link.CI_2dV_20Commander");
    const QString hrdName = QStringLiteral("org.veltaro.Link.HRD_5fRADIO_5f000");
    const QString ftlinkName = QStringLiteral("org.veltaro.FTLink");
};

TEST_F(BridgeProcess, UsageAndBadOptions) {
    auto help = bridgeWith({"--help"});
    EXPECT_TRUE(exits(*help, 0));
    EXPECT_TRUE(help->process().readAllStandardOutput().contains("Usage: veltaro-bridge"));

    auto bad = bridgeWith({"--bogus"});
    EXPECT_TRUE(exits(*bad, 2));
    const QByteArray err = bad->process().readAllStandardError();
    EXPECT_TRUE(err.contains("unknown option")) << err.toStdString();
    EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
}

TEST_F(BridgeProcess, SignalReleasesTheNamesAndExitsZero) {
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto b = bridgeWith({"--stdin"});
        ASSERT_TRUE(waitForOwner(commanderName) && waitForOwner(hrdName) &&
                    waitForOwner(ftlinkName));
        int lost = 0; // a link to the bridge ends with it
        veltaro::qt::DBusLinkClient link(theBus->connection());
        link.connect({"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ"}, {}, [&] { ++lost; });
        sendSignal(*b, signo);
        EXPECT_TRUE(exits(*b, 0));
        EXPECT_FALSE(theBus->hasOwner(commanderName) || theBus->hasOwner(hrdName) ||
                     theBus->hasOwner(ftlinkName));
        EXPECT_TRUE(waitUntil([&] { return lost == 1; }, 3000));
    }
}

TEST_F(BridgeProcess, SecondBridgeOnATakenNameExitsOne) {
    auto first = bridgeWith({"--stdin", "--as", "hrd"});
    ASSERT_TRUE(waitForOwner(hrdName));
    auto second = bridgeWith({"--stdin", "--as", "commander", "--as", "hrd"});
    EXPECT_TRUE(exits(*second, 1));
    EXPECT_TRUE(QString::fromUtf8(second->process().readAllStandardError()).contains(hrdName));
    // It gave back the name it had claimed before it failed.
    EXPECT_FALSE(theBus->hasOwner(commanderName));
    EXPECT_TRUE(theBus->hasOwner(hrdName));
}

TEST_F(BridgeProcess, ServesTheContractToTheClients) {
    auto b = bridgeWith({"--stdin"});
    ASSERT_TRUE(waitForOwner(ftlinkName));
    b->send("14074600");
    spin(100);

    // Each client starts with the value the previous case left, then sees one change.
    const std::tuple<veltaro::ILinkClient::Address, std::string, QString, std::string> cases[] = {
        {{"CI-V Commander", "DDEServer", "XmitFreq"}, "14074.6", "7074000", "7074"},
        {{"HRD_RADIO_000", "HRD_CAT", "HRD_HERTZ"}, "7074000", "14074600", "14074600"},
    };
    for (const auto& [address, before, tune, after] : cases) {
        SCOPED_TRACE(address.service);
        std::vector<std::string> got;
        veltaro::qt::DBusLinkClient link(theBus->connection());
        link.connect(address, [&](const std::string& v) { got.push_back(v); }, {});
        EXPECT_EQ(got, std::vector<std::string>{before});
        b->send(tune);
        ASSERT_TRUE(waitUntil([&] { return got.size() == 2; }, 3000));
        EXPECT_EQ(got[1], after);
    }

    veltaro::qt::DBusAutomationClient automation(theBus->connection());
    automation.connect();
    EXPECT_EQ(firstValue([&] { return automation.frequencyMHz(); }, 3000), 14.0746);
    // Standard output stays empty without --verbose.
    EXPECT_TRUE(b->process().readAllStandardOutput().isEmpty());
}

} // namespace
