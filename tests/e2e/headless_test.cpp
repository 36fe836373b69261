// veltaro --headless with no display at all: the bridge publishes Commander on a private bus,
// the program follows it from a hand-written settings file, tells each change on standard
// error, and SIGTERM stops it with exit code 0 and the settings file untouched.
#include "bus_fixture.h"

namespace {

using namespace veltaro::support;
using namespace testing_support;

QProcessEnvironment withoutDisplay(const QString& configHome) {
    auto env = theBus().environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("XDG_CONFIG_HOME", configHome);
    return env;
}

TEST(Headless, FollowsTheRadioWithoutADisplayAndStopsCleanly) {
    Child bridge(PUBLISHER, {"--stdin", "--as", "commander"}, theBus().environment());
    ASSERT_TRUE(
        waitUntil([] { return theBus().hasOwner("org.veltaro.Link.CI_2dV_20Commander"); }, 5000));
    bridge.send("14074000");
    Pty pty;
    Program app(VELTARO_BIN); // its folder is also its XDG_CONFIG_HOME
    // A comment and an order of its own: any rewrite by QSettings would show.
    const QByteArray ini = "; by hand\n[StartUp]\nCheckCommander=1\nComPort=1\nCheckTRX=0\n"
                           "CheckHRD=0\nCheckOnTop=0\nPosition-Left=1200\nPosition-Top=900\n"
                           "[Ports]\nCom1=" +
                           pty.path().toUtf8() + "\n";
    app.write(ini);
    Child veltaro(app.path() + "/veltaro", {"--headless"}, withoutDisplay(app.path()));
    QStringList lines;
    const auto sawLine = [&](const QString& line) {
        return waitUntil(
            [&] {
                lines += QString::fromUtf8(veltaro.process().readAllStandardError())
                             .split('\n', Qt::SkipEmptyParts);
                return lines.contains(line);
            },
            5000);
    };

    EXPECT_EQ(pty.readAtLeast(14, 5000), "FA00014074000;");
    bridge.send("7074000");
    EXPECT_EQ(pty.readAtLeast(14, 5000), "FA00007074000;");
    EXPECT_EQ(app.frequencyFile(), "07.074000\r\n");
    sendSignal(bridge, SIGTERM); // the radio's program ends
    EXPECT_TRUE(sawLine("No link to Commander: the program does not answer or has ended."));
    sendSignal(veltaro, SIGTERM);
    EXPECT_TRUE(veltaro.process().waitForFinished(5000));
    EXPECT_EQ(veltaro.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(veltaro.process().exitCode(), 0);
    EXPECT_TRUE(sawLine("Stopped.")); // the order of the lines is the core's (tests/core)
    EXPECT_EQ(app.contents().toStdString(), ini.toStdString());
}

TEST(Headless, HelpAndBadOptionsNeedNoDisplay) {
    ConfigFolder home;
    const auto help = run(VELTARO_BIN, {"--help"}, withoutDisplay(home.path()));
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("--headless")) << help.out.toStdString();
    const auto bad = run(VELTARO_BIN, {"--headles"}, withoutDisplay(home.path()));
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(bad.err.contains("unknown option '--headles'")) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
}

} // namespace
