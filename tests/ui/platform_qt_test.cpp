// The small Qt services of the Linux front end: the system-information tool's place, starting
// programs, the decimal separator and the message boxes.
#include "core/fakes.h"
#include "platform/errors.h"
#include "platform/qt/platform_qt.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>

namespace veltaro::test {
namespace {

bool waitUntil(const std::function<bool()>& pred, int ms = 2000) {
    QElapsedTimer clock;
    clock.start();
    while (!pred() && clock.elapsed() <= ms) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return pred();
}

// Replaces $PATH and the current folder for one test.
class PathScope {
public:
    PathScope(const QString& path, const QString& current)
        : old_(qgetenv("PATH")), oldCurrent_(QDir::currentPath()) {
        qputenv("PATH", path.toLocal8Bit());
        QDir::setCurrent(current);
    }
    ~PathScope() {
        qputenv("PATH", old_);
        QDir::setCurrent(oldCurrent_);
    }

private:
    QByteArray old_;
    QString oldCurrent_;
};

void makeFile(const QString& path, bool executable) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    f.setPermissions(executable ? QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                : QFile::ReadOwner | QFile::WriteOwner);
}

TEST(QtSystemInfoLocator, TheSettingAsItIsElseTheFirstFolderOfPathWithATool) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    QDir dir(root.path());
    for (const char* d : {"empty", "plain", "folder", "folder/kinfocenter", "gnome", "kde", "both"})
        ASSERT_TRUE(dir.mkdir(d));
    makeFile(dir.filePath("plain/kinfocenter"), false); // not executable: no tool
    makeFile(dir.filePath("gnome/gnome-system-monitor"), true);
    makeFile(dir.filePath("kde/kinfocenter"), true);
    makeFile(dir.filePath("both/hardinfo"), true);
    makeFile(dir.filePath("both/kinfocenter"), true);
    auto p = [&](const char* d) { return dir.filePath(d); };
    auto tool = [&](const char* t) { return std::optional(dir.filePath(t).toStdString()); };

    const struct {
        std::string setting;
        QStringList path;
        std::optional<std::string> found;
    } rows[] = {
        {"", {p("empty"), p("plain"), p("folder")}, {}},
        {"", {p("empty"), p("gnome"), p("kde")}, tool("gnome/gnome-system-monitor")},
        {"", {p("kde"), p("gnome")}, tool("kde/kinfocenter")},
        {"", {p("both")}, tool("both/kinfocenter")}, // preferred within one folder
        {"", {}, {}},                                // an empty entry is not the current folder
        {"", {"", p("gnome")}, tool("gnome/gnome-system-monitor")},
        {"/opt/no such tool", {p("kde")}, "/opt/no such tool"}, // unchecked, and first
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.setting + " " + r.path.join(':').toStdString());
        PathScope scope(r.path.join(':'), p("kde")); // the current folder holds a tool
        fake::SettingsStore settings;
        settings.writeSetting("Veltaro", "SystemInfo", "Path", r.setting);
        EXPECT_EQ(qt::QtSystemInfoLocator(settings).find(), r.found);
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
