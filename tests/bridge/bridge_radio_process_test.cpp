// veltaro-bridge as a program with --rigctld / --flrig: its exit codes and messages, and a
// publishing side that keeps answering while the radio does not.
#include "bus_fixture.h"
#include "fake_radios.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QDBusInterface>
#include <QDBusReply>

namespace testing_support {
extern PrivateBus* theBus;
}

namespace {

using testing_support::FakeRigctld;
using testing_support::theBus;
using namespace veltaro::support;

// The address rules themselves are in the HostPort table; here the program's answer to them.
TEST(BridgeRadioProcess, BadAddressesExitTwoWithOneLine) {
    for (const QStringList& args : {QStringList{"--rigctld", "rig:0"}, {"--flrig", "::1:12345"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const auto r = run(BRIDGE, args, theBus->environment(), 5000);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.startsWith("veltaro-bridge: bad address \"" + args[1]))
            << r.err.toStdString();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

TEST(BridgeRadioProcess, KeepsServingTheLastValueWhileRigctldIsSilent) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script = {QByteArray("14074000\n")};
    rig.otherwise = std::nullopt;
    const QString address = QString("127.0.0.1:%1").arg(rig.port());
    Child bridge(BRIDGE, {"--rigctld", address, "--as", "hrd", "--verbose"}, theBus->environment());
    ASSERT_TRUE(bridge.waitForLine("14074000", 5000));
    ASSERT_TRUE(waitUntil([&] { return rig.requests == 2; }, 3000)); // the unanswered one

    QDBusInterface hrd("org.veltaro.Link.HRD_5fRADIO_5f000", "/HRD_5fCAT", "org.veltaro.Link",
                       theBus->connection());
    hrd.setTimeout(1000);
    for (int i = 0; i < 5; ++i) {
        QDBusReply<QString> r = hrd.call("Request", QString("HRD_HERTZ"));
        ASSERT_TRUE(r.isValid()) << r.error().message().toStdString();
        EXPECT_EQ(r.value(), "14074000");
    }
    EXPECT_EQ(rig.requests, 2);
    EXPECT_TRUE(bridge.running());
    const QString err = QString::fromUtf8(bridge.process().readAllStandardError());
    EXPECT_TRUE(err.contains("veltaro-bridge: rigctld at " + address + ": connected\n"))
        << err.toStdString();
}

} // namespace
