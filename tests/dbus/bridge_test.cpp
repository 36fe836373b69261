#include "bus_fixture.h"

#include "bridge_options.h"
#include "platform/errors.h"
#include "platform/qt/dbus_automation.h"
#include "platform/qt/dbus_link_client.h"
#include "publishers.h"
#include "stdin_source.h"
#include "sweep_source.h"

#include <gtest/gtest.h>

#include <csignal>
#include <optional>
#include <vector>

namespace testing_support {
extern PrivateBus* theBus;
}

using namespace testing_support;

namespace {

TEST(BridgeText, CommanderKilohertzKeepsOnlyARealFraction) {
    const std::pair<qint64, const char*> cases[] = {
        {14074000, "14074"},     {14074600, "14074.6"}, {14074650, "14074.65"},
        {14074001, "14074.001"}, {999, "0.999"},        {0, "0"},
        {50000000, "50000"},     {-1500, "-1.5"},
    };
    for (const auto& [hz, text] : cases)
        EXPECT_EQ(bridge::kilohertzText(hz), QString::fromLatin1(text)) << hz;
    EXPECT_EQ(bridge::hertzText(14074000), QStringLiteral("14074000"));
}

TEST(BridgeOptions, ParsesPublishersSourcesAndValues) {
    using bridge::SourceKind;
    struct Case {
        QStringList args;
        bool ok;
        bool commander = false, hrd = false, ftlink = false;
        SourceKind source = SourceKind::Sweep;
        QString hostPort = {};
    };
    const Case cases[] = {
        {{}, true, true, true, true, SourceKind::Sweep, {}},
        {{"--as", "hrd"}, true, false, true, false, SourceKind::Sweep, {}},
        {{"--as", "commander", "--as", "ftlink", "--stdin"},
         true,
         true,
         false,
         true,
         SourceKind::Stdin,
         {}},
        {{"--flood"}, true, true, true, true, SourceKind::Flood, {}},
        {{"--rigctld", "rig:4533"}, true, true, true, true, SourceKind::Rigctld, "rig:4533"},
        {{"--rigctld", "--verbose"}, true, true, true, true, SourceKind::Rigctld, {}},
        {{"--flrig", "12346"}, true, true, true, true, SourceKind::Flrig, "12346"},
        {{"--stdin", "--stdin"}, true, true, true, true, SourceKind::Stdin, {}},
        {{"--stdin", "--flood"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--as"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--as", "trx"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--rate", "0"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--rate"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--step-hz", "ten"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--interval", "-1"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"--bogus"}, false, false, false, false, SourceKind::Sweep, {}},
        {{"stdin"}, false, false, false, false, SourceKind::Sweep, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        bridge::Options o;
        QString error;
        ASSERT_EQ(bridge::parseOptions(c.args, &o, &error), c.ok) << error.toStdString();
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty());
            EXPECT_FALSE(error.contains('\n'));
            continue;
        }
        EXPECT_EQ(o.commander, c.commander);
        EXPECT_EQ(o.hrd, c.hrd);
        EXPECT_EQ(o.ftlink, c.ftlink);
        EXPECT_EQ(o.source, c.source);
        EXPECT_EQ(o.hostPort, c.hostPort);
    }
    bridge::Options o;
    QString error;
    ASSERT_TRUE(bridge::parseOptions({"--step-hz", "100", "--rate", "50", "--interval", "250"}, &o,
                                     &error));
    EXPECT_EQ(o.stepHz, 100);
    EXPECT_EQ(o.rate, 50);
    EXPECT_EQ(o.intervalMs, 250);
}

TEST(BridgeSweep, StepsThroughEachBandWindowThenHopsAndWraps) {
    int count = 0;
    const bridge::BandWindow* bands = bridge::sweepBands(&count);
    ASSERT_GE(count, 10);
    bridge::SweepPlan plan(30000);
    EXPECT_EQ(plan.current(), bands[0].lowHz);
    int band = 0;
    qint64 last = plan.current();
    int hops = 0;
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
    std::unique_ptr<Child> bridgeWith(const QStringList& args) {
        return std::make_unique<Child>(QStringLiteral(BRIDGE), args, theBus->environment());
    }
    bool waitForOwner(const QString& name, bool owned) {
        return waitUntil([&] { return theBus->hasOwner(name) == owned; }, 5000);
    }
    const QString commanderName = QStringLiteral("org.veltaro.Link.CI_2dV_20Commander");
    const QString hrdName = QStringLiteral("org.veltaro.Link.HRD_5fRADIO_5f000");
    const QString ftlinkName = QStringLiteral("org.veltaro.FTLink");
};

TEST_F(BridgeProcess, UsageAndBadOptions) {
    struct Case {
        QStringList args;
        int exitCode;
        const char* stdoutHas;
        const char* stderrHas;
    };
    const Case cases[] = {
        {{"--help"}, 0, "Usage: veltaro-bridge", ""},
        {{"--bogus"}, 2, "", "unknown option"},
        {{"--as", "nobody"}, 2, "", "--as takes"},
        {{"--sweep", "--stdin"}, 2, "", "one source"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        auto b = bridgeWith(c.args);
        ASSERT_TRUE(b->process().waitForFinished(5000));
        EXPECT_EQ(b->process().exitCode(), c.exitCode);
        const QString out = QString::fromUtf8(b->process().readAllStandardOutput());
        const QString err = QString::fromUtf8(b->process().readAllStandardError());
        EXPECT_TRUE(out.contains(QString::fromLatin1(c.stdoutHas))) << out.toStdString();
        EXPECT_TRUE(err.contains(QString::fromLatin1(c.stderrHas))) << err.toStdString();
        if (c.exitCode == 2) {
            EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        }
    }
}

TEST_F(BridgeProcess, SignalReleasesTheNamesAndExitsZero) {
    for (int signo : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signo);
        auto b = bridgeWith({"--stdin"});
        ASSERT_TRUE(waitForOwner(commanderName, true));
        ASSERT_TRUE(waitForOwner(hrdName, true));
        ASSERT_TRUE(waitForOwner(ftlinkName, true));
        b->signal(signo);
        ASSERT_TRUE(b->process().waitForFinished(5000));
        EXPECT_EQ(b->process().exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(b->process().exitCode(), 0);
        EXPECT_FALSE(theBus->hasOwner(commanderName));
        EXPECT_FALSE(theBus->hasOwner(ftlinkName));
    }
}

TEST_F(BridgeProcess, SecondBridgeOnATakenNameExitsOne) {
    auto first = bridgeWith({"--stdin", "--as", "hrd"});
    ASSERT_TRUE(waitForOwner(hrdName, true));
    auto second = bridgeWith({"--stdin", "--as", "commander", "--as", "hrd"});
    ASSERT_TRUE(second->process().waitForFinished(5000));
    EXPECT_EQ(second->process().exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second->process().readAllStandardError()).contains(hrdName));
    // It gave back the name it had claimed before it failed.
    EXPECT_FALSE(theBus->hasOwner(commanderName));
    EXPECT_TRUE(theBus->hasOwner(hrdName));
}

TEST_F(BridgeProcess, ServesTheContractToTheClients) {
    auto b = bridgeWith({"--stdin"});
    ASSERT_TRUE(waitForOwner(ftlinkName, true));
    b->send("14074600");
    spin(100);

    struct Case {
        std::string topic, item, value;
    };
    const Case cases[] = {
        {"CI-V Commander|DDEServer", "XmitFreq", "14074.6"},
        {"HRD_RADIO_000|HRD_CAT", "HRD_HERTZ", "14074600"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.topic);
        std::vector<std::string> got;
        veltaro::qt::DBusLinkClient link(theBus->connection());
        link.setDeliveryHandler([&](const std::string& v) { got.push_back(v); });
        link.setLinkTopic(c.topic);
        link.setLinkItem(c.item);
        link.setLinkMode(1);
        EXPECT_EQ(got, std::vector<std::string>{c.value});
        b->send("7074000");
        ASSERT_TRUE(waitUntil([&] { return got.size() == 2; }, 3000));
        b->send("14074600");
        ASSERT_TRUE(waitUntil([&] { return got.size() == 3; }, 3000));
        EXPECT_EQ(got[2], c.value);
    }

    veltaro::qt::DBusAutomationClient automation(theBus->connection());
    auto trx = automation.createTrxServer()->firstObject()->queryTrx();
    std::optional<double> mhz;
    waitUntil(
        [&] {
            try {
                mhz = trx->frequency();
            } catch (const veltaro::LinkError&) {
            }
            return mhz.has_value();
        },
        3000);
    EXPECT_EQ(mhz, std::optional<double>(14.0746));

    // Standard output stays empty without --verbose.
    EXPECT_TRUE(b->process().readAllStandardOutput().isEmpty());
}

} // namespace
