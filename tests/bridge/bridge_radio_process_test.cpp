// veltaro-bridge as a program with --rigctld / --flrig: its exit codes and messages, and a
// publishing side that keeps answering while the radio does not.
#include "bus_fixture.h"
#include "fake_radios.h"

#include <gtest/gtest.h>

#include <QDBusInterface>
#include <QDBusReply>

namespace testing_support {
extern PrivateBus* theBus;
}

namespace {

using namespace testing_support;

TEST(BridgeRadioProcess, BadAddressesExitTwoWithOneLine) {
    const QStringList cases[] = {
        {"--rigctld", "rig:0"},    {"--rigctld", "65536"}, {"--rigctld", "rig"},
        {"--flrig", "::1:12345"},  {"--flrig", ":12345"},  {"--flrig", "[::1]"},
        {"--rigctld", "rig:45x2"},
    };
    for (const QStringList& args : cases) {
        SCOPED_TRACE(args.join(' ').toStdString());
        QProcess p;
        p.setProcessEnvironment(theBus->environment());
        p.start(QStringLiteral(BRIDGE), args);
        ASSERT_TRUE(p.waitForFinished(5000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 2);
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.startsWith(QStringLiteral("veltaro-bridge: bad address \"") + args[1]))
            << err.toStdString();
        EXPECT_EQ(err.count('\n'), 1) << err.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    }
}

TEST(BridgeRadioProcess, KeepsServingTheLastValueWhileRigctldIsSilent) {
    FakeRigctld rig;
    ASSERT_TRUE(rig.listen());
    rig.script = {QByteArray("14074000\n")};
    rig.otherwise = std::nullopt;
    Child bridge(QStringLiteral(BRIDGE),
                 {QStringLiteral("--rigctld"), QStringLiteral("127.0.0.1:%1").arg(rig.port()),
                  QStringLiteral("--as"), QStringLiteral("hrd"), QStringLiteral("--verbose")},
                 theBus->environment());
    ASSERT_TRUE(bridge.waitForLine(QStringLiteral("14074000"), 5000));
    ASSERT_TRUE(waitUntil([&] { return rig.requests == 2; }, 3000)); // the unanswered one

    QDBusInterface hrd(QStringLiteral("org.veltaro.Link.HRD_5fRADIO_5f000"),
                       QStringLiteral("/HRD_5fCAT"), QStringLiteral("org.veltaro.Link"),
                       theBus->connection());
    hrd.setTimeout(1000);
    for (int i = 0; i < 5; ++i) {
        QDBusReply<QString> r = hrd.call(QStringLiteral("Request"), QStringLiteral("HRD_HERTZ"));
        ASSERT_TRUE(r.isValid()) << r.error().message().toStdString();
        EXPECT_EQ(r.value(), QStringLiteral("14074000"));
    }
    EXPECT_EQ(rig.requests, 2);
    EXPECT_EQ(bridge.process().state(), QProcess::Running);
    const QString err = QString::fromUtf8(bridge.process().readAllStandardError());
    EXPECT_TRUE(err.contains(
        QStringLiteral("veltaro-bridge: rigctld at 127.0.0.1:%1: connected\n").arg(rig.port())))
        << err.toStdString();
}

} // namespace
