#include "about/frm_about.h"
#include "core/fakes.h"
#include "platform/errors.h"
#include "platform/qt/platform_qt.h"
#include "ui/support.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace veltaro::test {
namespace {

using qt::QtRegistry;
constexpr auto HKLM = IRegistry::HKEY_LOCAL_MACHINE_ROOT;
const std::string Route1 = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string Route2 = "SOFTWARE\\Microsoft\\Shared Tools Location";

// Replaces $PATH for one test.
class PathScope {
public:
    explicit PathScope(const QString& path) : old_(qgetenv("PATH")) {
        qputenv("PATH", path.toLocal8Bit());
    }
    ~PathScope() { qputenv("PATH", old_); }

private:
    QByteArray old_;
};

void makeFile(const QString& path, bool executable) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                : QFile::ReadOwner | QFile::WriteOwner);
}

TEST(QtRegistry, OpensOnlyTheTwoKeysBelowTheMachineRoot) {
    fake::SettingsStore settings;
    QtRegistry reg(settings);
    const struct {
        std::uint32_t root;
        std::string path;
        long status;
    } rows[] = {
        {HKLM, Route1, 0},
        {HKLM, Route2, 0},
        {HKLM, "software\\microsoft\\shared tools\\msinfo", 0}, // names ignore case
        {HKLM, "SOFTWARE\\Microsoft\\Shared Tools", 2},
        {0x80000001u, Route1, 2},
    };
    for (const auto& r : rows) {
        IRegistry::Key key = 99;
        EXPECT_EQ(reg.openKey(r.root, r.path, 0x20019, key), r.status) << r.path;
        EXPECT_EQ(key != 0, r.status == 0) << r.path;
    }
}

TEST(QtRegistry, RouteOneAnswersWithTheSystemInfoSetting) {
    const struct {
        std::string setting, name;
        std::size_t capacity;
        long status;
        std::uint32_t length;
    } rows[] = {
        {"", "PATH", 1024, 2, 0},            // not set: not found
        {"/opt/tool", "PATH", 1024, 0, 10},  // with its terminating zero
        {"/opt/tool", "path", 1024, 0, 10},  // value names ignore case
        {"/opt/tool", "MSINFO", 1024, 2, 0}, // that value lives under the other key
        {"/opt/tool", "PATH", 10, 0, 10},    // exactly fits
        {"/opt/tool", "PATH", 9, 234, 10},   // one byte short: more data
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.setting.substr(0, 20) + " " + r.name + " " + std::to_string(r.capacity));
        fake::SettingsStore settings;
        settings.writeSetting("Veltaro", "SystemInfo", "Path", r.setting);
        QtRegistry reg(settings);
        IRegistry::Key key = 0;
        ASSERT_EQ(reg.openKey(HKLM, Route1, 0x20019, key), 0);
        std::vector<unsigned char> buffer(r.capacity, 0xEE);
        std::uint32_t type = 0, length = 0;
        EXPECT_EQ(reg.queryValue(key, r.name, type, buffer, length), r.status);
        EXPECT_EQ(buffer.size(), r.capacity); // the capacity is the caller's
        EXPECT_EQ(length, r.status == 2 ? 0u : r.length);
        if (r.status == 0) {
            EXPECT_EQ(type, IRegistry::REG_SZ_TYPE);
            EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + length), r.setting + '\0');
        }
        reg.closeKey(key);
    }
}

TEST(QtRegistry, RouteTwoFindsTheFirstFolderOfPathWithATool) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir dir(root.path());
    for (const char* d : {"empty", "plain", "gnome", "kde", "both"})
        ASSERT_TRUE(dir.mkdir(d));
    makeFile(dir.filePath("plain/kinfocenter"), false); // not executable: no tool
    makeFile(dir.filePath("gnome/gnome-system-monitor"), true);
    makeFile(dir.filePath("kde/kinfocenter"), true);
    makeFile(dir.filePath("both/hardinfo"), true);
    makeFile(dir.filePath("both/kinfocenter"), true);
    auto p = [&](const char* d) { return dir.filePath(d); };

    const struct {
        QStringList path;
        QString folder; // empty: not found
        std::string tool;
    } rows[] = {
        {{p("empty"), p("plain")}, {}, ""},
        {{p("empty"), p("gnome"), p("kde")}, p("gnome"), "/gnome-system-monitor"},
        {{p("kde"), p("gnome")}, p("kde"), "/kinfocenter"},
        {{p("both")}, p("both"), "/kinfocenter"}, // preferred within one folder
        {{}, {}, ""},                             // an empty $PATH is not the current folder
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path.join(':').toStdString());
        PathScope scope(r.path.join(':'));
        fake::SettingsStore settings;
        QtRegistry reg(settings);
        std::string value = "caller's";
        const bool found = GetKeyValue(reg, HKLM, Route2, "MSINFO", value);
        EXPECT_EQ(found, !r.folder.isEmpty());
        EXPECT_EQ(value, r.folder.toStdString());
        EXPECT_EQ(found ? reg.systemInfoFile(value) : "", r.tool);
    }
}

TEST(QtLauncher, RaisesWhenNothingCanBeStarted) {
    qt::QtLauncher launcher;
    EXPECT_THROW(launcher.startProgram(""), Error);
    EXPECT_THROW(launcher.startProgram("/nonexistent/veltaro-no-such-tool"), Error);
    QTemporaryDir dir;
    const QString plain = dir.filePath("not-a-program");
    makeFile(plain, false);
    EXPECT_THROW(launcher.startProgram(plain.toStdString()), Error);
    EXPECT_NO_THROW(launcher.startProgram("/bin/true"));
}

TEST(NumberFormat, FollowsTheLocaleDecimalSeparator) {
    const QLocale saved;
    // Arabic's separator is not ASCII: the default.
    for (const auto& [locale, decimal] :
         {std::pair{"en_US", '.'}, {"de_DE", ','}, {"ar_EG", '.'}}) {
        QLocale::setDefault(QLocale(locale));
        EXPECT_EQ(qt::numberFormatFromLocale().decimal, decimal) << locale;
    }
    QLocale::setDefault(saved);
}

TEST(QtDialogs, ShowsAModalOkOnlyBoxWithTheCaption) {
    qt::QtDialogs dialogs;
    QString title, text;
    QStringList buttons;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        modal = box->isModal();
        for (QAbstractButton* b : box->buttons())
            buttons << b->text();
        box->button(QMessageBox::Ok)->click();
    });
    QTimer watchdog; // never leave the box open
    watchdog.callOnTimeout([] {
        if (QWidget* w = QApplication::activeModalWidget())
            w->close();
    });
    watchdog.start(5000);
    dialogs.messageBox("COM 3: not available. Check Com Port setting.", "Veltaro");
    EXPECT_EQ(title, "Veltaro");
    EXPECT_EQ(text, "COM 3: not available. Check Com Port setting.");
    EXPECT_TRUE(modal);
    EXPECT_EQ(buttons, QStringList{"OK"});
}

// A posted box shows once the caller has returned, and timers go on while it is open.
TEST(QtDialogs, PostedBoxWaitsForTheEventLoopAndBlocksNothing) {
    qt::QtDialogs dialogs;
    dialogs.postMessage("PEGASUS.OUT: Permission denied", "Veltaro");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    int ticks = 0;
    QTimer ticker;
    ticker.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && ++ticks == 3)
            box->button(QMessageBox::Ok)->click();
    });
    ticker.start(10);
    EXPECT_TRUE(waitUntil([&] { return ticks >= 3 && !QApplication::activeModalWidget(); }));
}

} // namespace
} // namespace veltaro::test
