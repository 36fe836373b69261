// veltaro-bridge: the Commander text form, and the program itself on the private bus. What it
// serves to the clients, read from standard input or rigctld, is proved end to end in tests/e2e;
// the sweep in the soak run.
#include "bus_fixture.h"

#include "publishers.h"

using namespace testing_support;

namespace {

TEST(BridgeText, CommanderKilohertzKeepsOnlyARealFraction) {
    const qint64 hz[] = {14074000, 14074600, 14074650, 14074001, 999};
    const char* text[] = {"14074", "14074.6", "14074.65", "14074.001", "0.999"};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(bridge::kilohertzText(hz[i]), text[i]) << hz[i];
}

// The bridge as a process, on the private bus.
class BridgeProcess : public ::testing::Test {
protected:
    int owned() const {
        return int(std::count_if(names.begin(), names.end(),
                                 [](const QString& n) { return theBus().hasOwner(n); }));
    }
    const QStringList names = {"org.veltaro.Link.CI_2dV_20Commander",
                               "org.veltaro.Link.HRD_5fRADIO_5f000", "org.veltaro.FTLink"};
};

TEST_F(BridgeProcess, UsageAndRefusedCommandLines) {
    const auto help = veltaro::support::run(BRIDGE, {"--help"}, theBus().environment(), 5000);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: veltaro-bridge")) << help.out.toStdString();
    // Exit code 2 and one line; the address rules themselves are in the HostPort table.
    for (const char* line : {"--bogus", "stdin", "--as trx", "--stdin --flood", "--rate",
                             "--rate 0", "--step-hz ten", "--rigctld rig:0", "--flrig ::1:12345"}) {
        const auto r =
            veltaro::support::run(BRIDGE, QString(line).split(' '), theBus().environment(), 5000);
        EXPECT_EQ(r.exitCode, 2) << line;
        EXPECT_TRUE(r.err.startsWith("veltaro-bridge: ") && r.err.count('\n') == 1)
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// SIGTERM and SIGINT end the bridge with exit code 0 and its names released, however early they
// come. The names are claimed a few milliseconds after the start; a signal that comes before the
// bridge watches for it kills the bridge, which must not hold a name yet.
TEST_F(BridgeProcess, SignalReleasesTheNamesAndExitsZero) {
    QDBusServiceWatcher watcher(names[0], theBus().connection(),
                                QDBusServiceWatcher::WatchForRegistration);
    int claimed = 0;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, [&] { ++claimed; });
    for (int step = 0; step < 50; ++step, claimed = 0) { // the last two once the names are held
        const int signo = step % 2 ? SIGINT : SIGTERM;
        SCOPED_TRACE(::testing::Message() << "signal " << signo << " at step " << step);
        auto b = startOnBus(BRIDGE, {"--stdin"});
        if (step >= 48)
            ASSERT_TRUE(waitUntil([&] { return owned() == 3; }, 5000));
        else
            ::usleep(step * 250);
        sendSignal(*b, signo);
        ASSERT_TRUE(b->process().waitForFinished(5000) || !b->running());
        EXPECT_TRUE(waitUntil([&] { return owned() == 0; }, 2000));
        spin(10);
        if (b->process().exitStatus() == QProcess::CrashExit)
            EXPECT_TRUE(step < 48 && claimed == 0) << "killed while it held its name";
        else
            EXPECT_EQ(b->process().exitCode(), 0);
    }
}

// The first holds its name though its radio is not there; the second polls rigctld at the
// default address (the option after --rigctld is no address).
TEST_F(BridgeProcess, SecondBridgeOnATakenNameExitsOne) {
    auto first = startOnBus(BRIDGE, {"--flrig", "127.0.0.1:1", "--interval", "50", "--as", "hrd"});
    ASSERT_TRUE(waitUntil([&] { return theBus().hasOwner(names[1]); }, 5000));
    auto second = startOnBus(BRIDGE, {"--rigctld", "--as", "commander", "--as", "hrd"});
    ASSERT_TRUE(second->process().waitForFinished(5000));
    EXPECT_EQ(second->process().exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second->process().readAllStandardError()).contains(names[1]));
    // It gave back the name it had claimed before it failed.
    EXPECT_FALSE(theBus().hasOwner(names[0]));
    EXPECT_TRUE(theBus().hasOwner(names[1]));
    EXPECT_TRUE(first->running());
}

} // namespace
