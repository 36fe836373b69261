// The transmit-inhibit line's adapter on pseudo-terminals. A pty has no modem lines, so on a
// plain one the adapter must say that it cannot drive the line. With the modem-lines shim
// preloaded (tests/support/modem_lines_shim.cpp answers the tty layer's modem requests on a pty
// and records each), the calls the adapter makes are observed; as a library cannot be preloaded
// into a process already running, the test runs itself again with it.
#include "adapters/qt/modem_line_qt.h"
#include "base/errors.h"
#include "core/fakes.h"
#include "support/test_support.h"

namespace veltaro::qt::test {
namespace {

using Line = veltaro::IModemLine::Line;

// The shim's record of the calls that set the lines, without those that only read them.
QStringList linesSet(const QString& record) {
    QStringList calls;
    for (const QString& call :
         QString::fromUtf8(support::readFile(record)).split('\n', Qt::SkipEmptyParts))
        if (!call.startsWith("TIOCMGET"))
            calls << call;
    return calls;
}

TEST(QtModemLine, DrivesTheLineItIsGivenThroughTheTtyLayer) {
    const QString record = qEnvironmentVariable("VELTARO_MODEM_LINES");
    if (record.isEmpty()) {
        QTemporaryDir dir;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_PRELOAD", VELTARO_MODEM_SHIM);
        env.insert("VELTARO_MODEM_LINES", dir.filePath("lines"));
        // The shim comes before a sanitizer's runtime.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto r = support::run(
            QCoreApplication::applicationFilePath(),
            {QString("--gtest_filter=%1.%2").arg(test->test_suite_name(), test->name())}, env);
        EXPECT_TRUE(r.exitCode == 0 && r.out.contains("[  PASSED  ] 1 test."))
            << r.out.toStdString() << r.err.toStdString();
        EXPECT_FALSE(linesSet(dir.filePath("lines")).isEmpty()) << "the shim saw nothing";
        return;
    }
    support::Pty pty;
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com9"] = pty.path().toStdString();
    QtModemLine line(settings);
    EXPECT_THROW(line.set(Line::Rts, true), PortError) << "closed";
    line.open(9);
    EXPECT_EQ(linesSet(record), QStringList{}) << "opening set a line";
    const std::pair<Line, bool> steps[] = {{Line::Rts, false},
                                           {Line::Rts, true},
                                           {Line::Dtr, false},
                                           {Line::Dtr, true},
                                           {Line::Rts, false}};
    for (const auto& [which, asserted] : steps)
        line.set(which, asserted);
    // The shim starts with both lines asserted, as a driver leaves them on opening.
    EXPECT_EQ(linesSet(record),
              QStringList({"TIOCMBIC RTS -> RTS=0 DTR=1", "TIOCMBIS RTS -> RTS=1 DTR=1",
                           "TIOCMBIC DTR -> RTS=1 DTR=0", "TIOCMBIS DTR -> RTS=1 DTR=1",
                           "TIOCMBIC RTS -> RTS=0 DTR=1"}));
    line.close();
    EXPECT_THROW(line.set(Line::Rts, true), PortError) << "closed";
}

// A pty refuses the modem requests: the line cannot be driven, and the adapter says so. A
// device that is not there does not open.
TEST(QtModemLine, PlainPtyCannotBeDriven) {
    support::Pty pty;
    fake::SettingsStore settings;
    settings.values["Veltaro/Ports/Com9"] = pty.path().toStdString();
    settings.values["Veltaro/Ports/Com10"] = "/dev/veltaro-none";
    QtModemLine line(settings);
    line.open(9);
    for (const Line which : {Line::Rts, Line::Dtr}) {
        try {
            line.set(which, true);
            ADD_FAILURE() << "a pty's line was driven";
        } catch (const PortError& e) {
            EXPECT_TRUE(QString(e.what()).startsWith(pty.path() + ": ")) << e.what();
        }
    }
    EXPECT_THROW(line.open(10), PortError);
    EXPECT_FALSE(line.isOpen());
}

} // namespace
} // namespace veltaro::qt::test
