// The small Qt services of the Linux front end: the system-information tool's place, starting
// programs, the decimal separator and the message boxes.
#include "adapters/qt/system_qt.h"
#include "base/errors.h"
#include "core/fakes.h"
#include "frontends/qt/dialogs_qt.h"

#include <QTest>
#include <QtWidgets>
#include <gtest/gtest.h>

namespace veltaro::test {
namespace {

void makeFile(const QString& path, bool executable) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                     (executable ? QFile::ExeOwner : QFile::Permissions()));
}

TEST(QtSystemInfoLocator, TheSettingAsItIsElseTheFirstFolderOfPathWithATool) {
    QTemporaryDir root;
    const QDir dir(root.path());
    for (const char* d : {"empty", "plain", "folder/kinfocenter", "gnome", "kde", "both"})
        ASSERT_TRUE(dir.mkpath(d));
    makeFile(dir.filePath("plain/kinfocenter"), false); // not executable: no tool
    for (const char* tool :
         {"gnome/gnome-system-monitor", "kde/kinfocenter", "both/hardinfo", "both/kinfocenter"})
        makeFile(dir.filePath(tool), true);
    const QByteArray oldPath = qgetenv("PATH");
    const QString oldCurrent = QDir::currentPath();
    const auto restore = qScopeGuard([&] {
        qputenv("PATH", oldPath);
        QDir::setCurrent(oldCurrent);
    });
    QDir::setCurrent(dir.filePath("kde")); // the current folder holds a tool

    // PATH as folder names; found as a path below the folder, or the setting as it is. kinfocenter
    // is preferred within one folder, an empty entry is not the current folder, and the setting
    // is taken unchecked.
    const std::tuple<const char*, QStringList, const char*> rows[] = {
        {"", {"empty", "plain", "folder"}, ""},
        {"", {"empty", "gnome", "kde"}, "gnome/gnome-system-monitor"},
        {"", {"both"}, "both/kinfocenter"},
        {"", {"", "gnome"}, "gnome/gnome-system-monitor"},
        {"/opt/no such tool", {"kde"}, "/opt/no such tool"}};
    for (const auto& [setting, folders, found] : rows) {
        QStringList path;
        for (const QString& f : folders)
            path << (f.isEmpty() ? f : dir.filePath(f));
        SCOPED_TRACE(setting + (" " + path.join(':')).toStdString());
        qputenv("PATH", path.join(':').toLocal8Bit());
        fake::SettingsStore settings;
        settings.writeSetting("Veltaro", "SystemInfo", "Path", setting);
        const QString expected = *found == '/' ? found : dir.filePath(found);
        EXPECT_EQ(qt::QtSystemInfoLocator(settings).find(),
                  *found ? std::optional(expected.toStdString()) : std::nullopt);
    }
}

TEST(QtLauncher, RaisesWhenNothingCanBeStarted) {
    QTemporaryDir dir;
    makeFile(dir.filePath("not-a-program"), false);
    for (const QString& path : {QString(), dir.filePath("not-a-program")})
        EXPECT_THROW(qt::QtLauncher().startProgram(path.toStdString()), Error);
    EXPECT_NO_THROW(qt::QtLauncher().startProgram("/bin/true"));
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

// A posted box shows once the caller has returned, as a modal OK-only box with the caption, and
// timers go on while it is open.
TEST(QtDialogs, PostedBoxIsAModalOkOnlyBoxThatBlocksNothing) {
    qt::QtDialogs dialogs;
    dialogs.postMessage("COM 3: not available. Check Com Port setting.", "Veltaro");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    int ticks = 0;
    QStringList seen;
    QTimer ticker;
    ticker.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || ++ticks < 3)
            return;
        seen << box->windowTitle() << box->text() << QString::number(box->isModal());
        for (QAbstractButton* b : box->buttons())
            seen << b->text();
        box->button(QMessageBox::Ok)->click();
    });
    ticker.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !seen.isEmpty(); }, 5000));
    EXPECT_EQ(seen,
              (QStringList{"Veltaro", "COM 3: not available. Check Com Port setting.", "1", "OK"}));
}

} // namespace
} // namespace veltaro::test
