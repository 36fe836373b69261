// veltaro-link-publisher: its text forms and command line, and the program itself on the private
// bus. Its scripted behaviours serve the client tests (clients_test.cpp); what it serves from
// standard input reaches the real program in tests/e2e, the sweep in the soak run.
#include "bus_fixture.h"

#include "link_server.h"
#include "publisher_options.h"

using namespace testing_support;
using namespace link_publisher;

namespace {

// FTLink's text must read back as the very double hz / 1e6, whatever its digits.
TEST(PublisherText, EachProgramsFormOfAFrequency) {
    const std::tuple<qint64, const char*, const char*> cases[] = {
        {14074000, "14074", "14.074"},      {14074600, "14074.6", "14.0746"},
        {14074650, "14074.65", "14.07465"}, {14074001, "14074.001", "14.074001"},
        {999, "0.999", "0.000999"},         {99'999'999'999, "99999999.999", "99999.999999"}};
    for (const auto& [hz, khz, mhz] : cases) {
        EXPECT_EQ(kilohertzText(hz).toStdString(), khz) << hz;
        EXPECT_EQ(megahertzText(hz).toStdString(), mhz) << hz;
        EXPECT_EQ(megahertzText(hz).toDouble(), double(hz) / 1e6) << hz;
    }
}

// An empty reason is a line taken; otherwise the start of the one-line refusal.
TEST(PublisherOptions, CommandLinesAndTheirBounds) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"--rate 1 --rate 100000 --step-hz 1 --step-hz 1000000000", ""},
        {"--rate 0", "--rate takes a whole number from 1 to 100000, not \"0\""},
        {"--rate 100001", "--rate takes"},
        {"--step-hz 1000000001", "--step-hz takes"},
        {"--step-hz +5", "--step-hz takes"},
        {"--step-hz ten", "--step-hz takes"},
        {"--rate", "--rate needs a value"},
        {"--stdin --stdin --as hrd --as hrd", ""},
        {"--stdin --flood", "choose one feed, not also --flood"},
        {"--as trx", "--as takes commander, hrd or ftlink, not \"trx\""},
        {"--as", "--as needs"},
        {"--advise-first", "--advise-first needs a value"},
        {"XmitFreq= =5", "unknown option \"=5\""},
        {"stdin", "unknown option \"stdin\""},
        {"--bogus=1", "unknown option \"--bogus=1\""}};
    for (const auto& [line, refusal] : cases) {
        PublisherOptions o;
        QString error;
        const bool taken = parseOptions(QString(line).split(' ', Qt::SkipEmptyParts), &o, &error);
        EXPECT_EQ(taken, !*refusal) << line;
        EXPECT_EQ(error.left(qstrlen(refusal)).toStdString(), refusal) << line;
    }
    PublisherOptions o;
    QString error;
    ASSERT_TRUE(parseOptions(
        {"--as", "ftlink", "Frequency=7.1", "--advise-first", "", "a=b=c", "--flood", "--no-trx"},
        &o, &error));
    EXPECT_EQ(std::tuple(o.commander, o.hrd, o.ftlink, o.feed, o.faults.noTrx, o.faults.silent),
              std::tuple(false, false, true, FeedKind::Flood, true, false));
    EXPECT_EQ(o.faults.adviseFirst, QString(""));
    EXPECT_EQ(o.items, (QList<QPair<QString, QString>>{{"Frequency", "7.1"}, {"a", "b=c"}}));
}

// The publisher as a process, on the private bus.
class PublisherProcess : public ::testing::Test {
protected:
    int owned() const {
        return int(std::count_if(names.begin(), names.end(),
                                 [](const QString& n) { return theBus().hasOwner(n); }));
    }
    const QStringList names = {"org.veltaro.Link.CI_2dV_20Commander",
                               "org.veltaro.Link.HRD_5fRADIO_5f000", "org.veltaro.FTLink"};
};

TEST_F(PublisherProcess, UsageAndRefusedCommandLines) {
    const auto help = veltaro::support::run(PUBLISHER, {"--help"}, theBus().environment(), 5000);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: veltaro-link-publisher")) << help.out.toStdString();
    for (const char* line : {"--bogus", "--rate 0"}) { // the rules are in PublisherOptions
        const auto r = veltaro::support::run(PUBLISHER, QString(line).split(' '),
                                             theBus().environment(), 5000);
        EXPECT_EQ(r.exitCode, 2) << line;
        EXPECT_TRUE(r.err.startsWith("veltaro-link-publisher: ") && r.err.count('\n') == 1)
            << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
    }
}

// Before the first value the items read as empty and the frequency as 0; then one line of
// standard input reaches all three forms, and a "set" reaches every program.
TEST_F(PublisherProcess, ServesEachValueInEveryProgramsForm) {
    auto p = startOnBus(PUBLISHER, {"--stdin"}, "ready");
    const auto conn = theBus().connection();
    QDBusInterface commander(names[0], "/DDEServer", "org.veltaro.Link", conn);
    QDBusInterface hrd(names[1], "/HRD_5fCAT", "org.veltaro.Link", conn);
    QDBusInterface trx(names[2], "/Trx", "org.freedesktop.DBus.Properties", conn);
    // The three answers, an error by its name: "XmitFreq|HRD_HERTZ|Frequency".
    const auto read = [&] {
        QStringList answers;
        for (const QDBusMessage& m :
             {commander.call("Request", QString("XmitFreq")),
              hrd.call("Request", QString("HRD_HERTZ")),
              trx.call("Get", QString("org.veltaro.FTLink.Trx"), QString("Frequency"))}) {
            QVariant v = m.arguments().value(0);
            if (v.userType() == qMetaTypeId<QDBusVariant>())
                v = v.value<QDBusVariant>().variant();
            answers << (m.type() == QDBusMessage::ErrorMessage ? m.errorName() : v.toString());
        }
        return answers.join('|').toStdString();
    };
    EXPECT_EQ(read(), "||0");
    ASSERT_TRUE(command(*p, "set Mode USB"));
    p->send("14074650");
    EXPECT_TRUE(waitUntil([&] { return read() != "||0"; }, 3000));
    EXPECT_EQ(read(), "14074.65|14074650|14.07465");
    const QDBusReply<QString> mode = hrd.call("Request", QString("Mode"));
    EXPECT_EQ(mode.value(), "USB");
}

// SIGTERM and SIGINT end the publisher with exit code 0 and its names released, however early
// they come. The names are claimed a few milliseconds after the start; a signal that comes before
// the publisher watches for it kills the publisher, which must not hold a name yet.
TEST_F(PublisherProcess, SignalReleasesTheNamesAndExitsZero) {
    QDBusServiceWatcher watcher(names[0], theBus().connection(),
                                QDBusServiceWatcher::WatchForRegistration);
    int claimed = 0;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, [&] { ++claimed; });
    for (int step = 0; step < 50; ++step, claimed = 0) { // the last two once the names are held
        const int signo = step % 2 ? SIGINT : SIGTERM;
        SCOPED_TRACE(::testing::Message() << "signal " << signo << " at step " << step);
        auto b = startOnBus(PUBLISHER, {"--stdin"});
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

// A name held by another program is waited for; still held after the wait, the publisher gives
// back the names it had claimed and exits 1. One that is let go in time is taken.
TEST_F(PublisherProcess, ATakenNameIsWaitedForThenRefused) {
    auto first = startOnBus(PUBLISHER, {"--stdin", "--as", "hrd"}, "ready");
    auto second = startOnBus(PUBLISHER, {"--stdin", "--as", "commander", "--as", "hrd"});
    ASSERT_TRUE(second->process().waitForFinished(8000));
    EXPECT_EQ(second->process().exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(second->process().readAllStandardError()).contains(names[1]));
    EXPECT_FALSE(theBus().hasOwner(names[0]));
    EXPECT_TRUE(first->running());

    auto third = startOnBus(PUBLISHER, {"--stdin", "--as", "commander", "--as", "hrd"});
    spin(300); // it meets the name taken
    first.reset();
    EXPECT_TRUE(third->waitForLine("ready", 5000));
    EXPECT_EQ(owned(), 2);
}

} // namespace
