// veltaro --headless with no display at all: the link publisher publishes Commander or HRD on a
// private bus, the program follows it from a hand-written settings file (or the one README.md
// shows), tells each change on standard error, and SIGTERM stops it with exit code 0 and the
// settings file untouched, byte for byte.
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

// Collects the program's standard error lines while waiting for one.
struct Lines {
    bool saw(const QString& line) {
        return waitUntil(
            [&] {
                all += QString::fromUtf8(program.process().readAllStandardError())
                           .split('\n', Qt::SkipEmptyParts);
                return all.contains(line);
            },
            5000);
    }
    Child& program;
    QStringList all;
};

// Stops the program as a service manager does: SIGTERM, exit code 0, "Stopped." last.
void stopCleanly(Child& veltaro, Lines& lines) {
    sendSignal(veltaro, SIGTERM);
    EXPECT_TRUE(veltaro.process().waitForFinished(5000));
    EXPECT_EQ(veltaro.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(veltaro.process().exitCode(), 0);
    EXPECT_TRUE(lines.saw("Stopped.")); // the order of the lines is the core's (tests/core)
}

// The settings file that README.md's headless section shows, as it is printed there.
QByteArray readmeExample() {
    const QByteArray readme =
        readFile(QFileInfo(QStringLiteral(__FILE__)).absolutePath() + "/../../README.md");
    const auto section = readme.indexOf("## Headless mode (Linux)");
    const auto start = readme.indexOf("```ini\n", section);
    const auto end = readme.indexOf("```", start + 7);
    return section < 0 || start < 0 || end < 0 ? QByteArray()
                                               : readme.mid(start + 7, end - start - 7);
}

TEST(Headless, FollowsTheRadioWithoutADisplayAndStopsCleanly) {
    Child publisher(PUBLISHER, {"--stdin", "--as", "commander"}, theBus().environment());
    ASSERT_TRUE(
        waitUntil([] { return theBus().hasOwner("org.veltaro.Link.CI_2dV_20Commander"); }, 5000));
    publisher.send("14074000");
    Pty pty;
    Program app(VELTARO_BIN); // its folder is also its XDG_CONFIG_HOME
    // A comment and an order of its own: any rewrite by QSettings would show.
    const QByteArray ini = "; by hand\n[StartUp]\nCheckCommander=1\nComPort=1\nCheckTRX=0\n"
                           "CheckHRD=0\nCheckOnTop=0\nPosition-Left=1200\nPosition-Top=900\n"
                           "[Ports]\nCom1=" +
                           pty.path().toUtf8() + "\n";
    app.write(ini);
    Child veltaro(app.path() + "/veltaro", {"--headless"}, withoutDisplay(app.path()));
    Lines lines{veltaro, {}};

    EXPECT_EQ(pty.readAtLeast(14, 5000), "FA00014074000;");
    publisher.send("7074000");
    EXPECT_EQ(pty.readAtLeast(14, 5000), "FA00007074000;");
    EXPECT_EQ(app.frequencyFile(), "07.074000\r\n");
    EXPECT_TRUE(lines.saw("Relayed 14.074000 MHz: FA00014074000;")) << "after the write";
    sendSignal(publisher, SIGTERM); // the radio's program ends
    EXPECT_TRUE(lines.saw("No link to Commander: the program ended the link."));
    stopCleanly(veltaro, lines);
    EXPECT_EQ(app.contents().toStdString(), ini.toStdString());
}

// The README's example names a port that is not there: HRD is followed, each command is told as
// not sent, and the file gains none of the keys it lacks.
TEST(Headless, LeavesTheReadmeExampleAsItIs) {
    const QByteArray ini = readmeExample();
    ASSERT_TRUE(ini.startsWith("[StartUp]\nComPort=5\n")) << ini.toStdString();
    Child publisher(PUBLISHER, {"--stdin", "--as", "hrd"}, theBus().environment());
    ASSERT_TRUE(
        waitUntil([] { return theBus().hasOwner("org.veltaro.Link.HRD_5fRADIO_5f000"); }, 5000));
    publisher.send("14074000");
    Program app(VELTARO_BIN);
    app.write(ini);
    Child veltaro(app.path() + "/veltaro", {"--headless"}, withoutDisplay(app.path()));
    Lines lines{veltaro, {}};
    EXPECT_TRUE(lines.saw("Linked to HRD."));
    EXPECT_TRUE(lines.saw("Not sent: 14.074000 MHz (FA00014074000;): COM 5 is not open."));
    stopCleanly(veltaro, lines);
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
