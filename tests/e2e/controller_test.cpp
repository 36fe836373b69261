// The controller's own protocol with the real veltaro --headless: the link publisher gives the
// radio on the private bus, veltaro-steppir-sim plays the controller on a pty or on a loopback
// TCP port (a serial server), and tools/feed_listen.py reads the state feed throughout.
#include "bus_fixture.h"
#include "feed_listener.h"

#include <QtNetwork>

#include <csignal>

namespace {

using namespace veltaro::support;
using namespace testing_support;

// The simulator, running until the object goes (killed: as a controller that is switched off).
// Its standard output gives where it is; its standard error logs each frame it read.
struct Simulator {
    explicit Simulator(const QStringList& args) : child(STEPPIR_SIM, args) {
        waitUntil([this] { return !child.lines().isEmpty(); }, 5000);
    }
    QString where() { return child.lines().value(0); }
    // Waits for a log line; the lines before it are passed over, once.
    bool saw(const QString& line, int ms = 8000) {
        return waitUntil(
            [&] {
                log += QString::fromUtf8(child.process().readAllStandardError())
                           .split('\n', Qt::SkipEmptyParts);
                const auto at = log.indexOf(line, read);
                if (at >= 0)
                    read = at + 1;
                return at >= 0;
            },
            ms);
    }
    Child child;
    QStringList log;
    qsizetype read = 0;
};

// veltaro --headless following Commander, with the SteppIR protocol on COM1 and the feed on.
struct Headless {
    Headless(const QString& com1, quint16 feedPort) {
        app.write(QString("[StartUp]\nCheckCommander=1\nComPort=1\n[Ports]\nCom1=%1\n"
                          "[Controller]\nProtocol=SteppIR\n[Feed]\nAddress=127.0.0.1:%2\n")
                      .arg(com1)
                      .arg(feedPort)
                      .toUtf8());
        auto env = theBus().environment();
        env.insert("XDG_CONFIG_HOME", app.path());
        child = std::make_unique<Child>(app.path() + "/veltaro", QStringList{"--headless"}, env);
    }
    // Waits for a line on standard error after the last one waited for.
    bool said(const QString& line, int ms = 8000) {
        return waitUntil(
            [&] {
                told += QString::fromUtf8(child->process().readAllStandardError())
                            .split('\n', Qt::SkipEmptyParts);
                const auto at = told.indexOf(line, read);
                if (at >= 0)
                    read = at + 1;
                return at >= 0;
            },
            ms);
    }
    Program app{VELTARO_BIN};
    std::unique_ptr<Child> child;
    QStringList told;
    qsizetype read = 0;
};

quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The value of a field in one of the listener's lines ("name=value" separated by tabs).
QString field(const QString& line, const QString& name) {
    for (const QString& pair : line.split('\t'))
        if (pair.startsWith(name + "="))
            return pair.mid(name.size() + 1);
    return "missing";
}

// The antenna states the feed went through, each run of one state taken once.
QStringList antennaStates(const QStringList& lines) {
    QStringList states;
    for (const QString& line : lines)
        if (const QString s = field(line, "antennaState"); states.value(states.size() - 1) != s)
            states << s;
    return states;
}

// On a pty and behind a serial server: the relayed frequency reaches the controller as a set
// frame, which the controller drops the first time; it is sent again and the antenna is shown
// moving then tuned. The controller then goes for a second and comes back (at the same link or
// port): its state is unknown meanwhile and the target goes again. The feed says all of it, in
// sequence, with every field sound (the listener checks the format, the types and the
// sequence; this test the values).
TEST(Controller, FollowsTheRadioThroughADroppedFrameAndARestart) {
    QTemporaryDir dir;
    const QString link = dir.path() + "/controller";
    const QString port = QString::number(freePort());
    for (const auto& [transport, where, com1] :
         {std::tuple{"pty", QStringList{"--link", link}, link},
          {"tcp", QStringList{"--tcp", port}, "tcp:127.0.0.1:" + port}}) {
        SCOPED_TRACE(transport);
        Child publisher(PUBLISHER, {"--stdin", "--as", "commander"}, theBus().environment());
        ASSERT_TRUE(waitUntil(
            [] { return theBus().hasOwner("org.veltaro.Link.CI_2dV_20Commander"); }, 5000));
        publisher.send("14074000");
        auto sim = std::make_unique<Simulator>(where + QStringList{"--drop-first", "1"});
        ASSERT_FALSE(sim->where().isEmpty());
        FeedListener feed;
        Headless veltaro(com1, feed.port());

        // Sent again once the status shows that nothing moved.
        EXPECT_TRUE(sim->saw("set 14.074000 MHz normal (dropped)"));
        EXPECT_TRUE(sim->saw("status?"));
        EXPECT_TRUE(sim->saw("set 14.074000 MHz normal")) << sim->log.join('|').toStdString();
        EXPECT_TRUE(veltaro.said("Antenna: moving to 14.074 MHz."));
        EXPECT_TRUE(veltaro.said("Antenna: tuned to 14.074 MHz."));

        sim.reset();
        EXPECT_TRUE(veltaro.said("Antenna: unknown.", 5000));
        spin(1000);
        sim = std::make_unique<Simulator>(where);
        EXPECT_TRUE(sim->saw("set 14.074000 MHz normal")) << "the target again on the return";
        EXPECT_TRUE(veltaro.said("Antenna: tuned to 14.074 MHz."));
        EXPECT_EQ(veltaro.app.frequencyFile(), "14.074000\r\n");

        QStringList lines; // the datagram of the last change may still be on its way
        waitUntil([&] { return antennaStates(lines = feed.waitForLines(0)).endsWith("\"tuned\""); },
                  2000);
        EXPECT_EQ(lines.filter(QRegularExpression("^(invalid|gap):")).join('|').toStdString(), "");
        const QStringList states = antennaStates(lines);
        const auto gone = states.indexOf(QRegularExpression("\"(unknown|not answering)\""),
                                         states.indexOf("\"tuned\""));
        EXPECT_TRUE(states.indexOf("\"tuned\"") >= 0 && gone > 0 &&
                    states.indexOf("\"tuned\"", gone) > gone)
            << states.join(' ').toStdString();
        const QString last = lines.value(lines.size() - 1);
        for (const auto& [name, value] : {std::pair{"program", "\"Veltaro\""},
                                          {"radioHz", "14074000"},
                                          {"relayedHz", "14074000"},
                                          {"relayedMHz", "\"14.074000\""},
                                          {"antennaState", "\"tuned\""},
                                          {"antennaHz", "14074000"},
                                          {"antennaDirection", "\"Normal\""},
                                          {"interlock", "\"off\""},
                                          {"interlockReason", "null"},
                                          {"source", "\"Commander\""},
                                          {"link", "\"linked\""},
                                          {"linkReason", "null"}})
            EXPECT_EQ(field(last, name).toStdString(), value) << name;
        EXPECT_TRUE(field(last, "version").startsWith('"'));
        EXPECT_EQ(field(lines.value(0), "sequence").toStdString(), "1");
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif

// The resident memory of a process, in KiB.
long residentKiB(qint64 pid) {
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Controllers that misbehave behind a serial server (replies among junk, a flood of them, an echo,
// silence) are shown for what they are, and the program neither wedges nor grows: it still ends
// at once on SIGTERM after seconds of it.
TEST(Controller, BadPeersAreShownForWhatTheyAreAndWedgeNothing) {
    for (const auto& [mode, shown] : {std::pair{"--junk", "Antenna: tuned to 14.074 MHz."},
                                      {"--flood", "Antenna: tuned to 14.074 MHz."},
                                      {"--echo", "Antenna: not answering."},
                                      {"--silent", "Antenna: not answering."}}) {
        SCOPED_TRACE(mode);
        Child publisher(PUBLISHER, {"--stdin", "--as", "commander"}, theBus().environment());
        ASSERT_TRUE(waitUntil(
            [] { return theBus().hasOwner("org.veltaro.Link.CI_2dV_20Commander"); }, 5000));
        publisher.send("14074000");
        const QString port = QString::number(freePort());
        Simulator sim({"--tcp", port, mode});
        FeedListener feed;
        Headless veltaro("tcp:127.0.0.1:" + port, feed.port());
        EXPECT_TRUE(veltaro.said(shown));
        QProcess& p = veltaro.child->process();
        const long before = residentKiB(p.processId());
        spin(2000);
        const long grown = residentKiB(p.processId()) - before;
        if (!Sanitized) { // the sanitizer's quarantine holds freed memory on purpose
            EXPECT_LT(grown, 8 * 1024) << "KiB in 2 s";
        }
        kill(static_cast<pid_t>(p.processId()), SIGTERM);
        EXPECT_TRUE(p.waitForFinished(3000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }
}

} // namespace
