// The settings store against a real file in a temporary XDG_CONFIG_HOME. Values are read back by
// a fresh process, because within one process QSettings answers from its cache.
#include "child.h"

#include "platform/errors.h"
#include "platform/qt/settings_store_qt.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace veltaro::qt::test {
namespace {

using support::ConfigHome;

// What a fresh process reads for these StartUp keys.
std::vector<std::string> readInChild(const QStringList& keys) {
    auto child = inChild("read-settings", keys);
    EXPECT_EQ(child.exitCode, Done) << child.out.toStdString();
    std::vector<std::string> values;
    for (const auto& line : child.out.split('\n').mid(0, keys.size()))
        values.push_back(QByteArray::fromPercentEncoding(line.toLatin1()).toStdString());
    values.resize(keys.size());
    return values;
}

TEST(QtSettingsStore, TextComesBackFromDiskAsWritten) {
    std::vector<std::string> values = {
        "-60",        "1200",
        "0",          "",
        "007",        "1.5",
        "4800,n,8,1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0",
        "  padded  ", "@Invalid()",
        "a=b;c#d",    "true",
        "Grüße"};
    ConfigHome home;
    EXPECT_EQ(QtSettingsStore::filePath("Veltaro"), home.settingsFile());
    QtSettingsStore store;
    QStringList keys;
    for (std::size_t i = 0; i < values.size(); ++i) {
        keys << QString("Key%1").arg(i);
        store.writeSetting("Veltaro", "StartUp", keys.back().toStdString(), "overwritten");
        store.writeSetting("Veltaro", "StartUp", keys.back().toStdString(), values[i]);
    }
    EXPECT_EQ(readInChild(keys), values);
    for (std::size_t i = 0; i < values.size(); ++i) // the writer agrees with the disk
        EXPECT_EQ(store.readSetting("Veltaro", "StartUp", keys[int(i)].toStdString()), values[i]);
}

TEST(QtSettingsStore, MissingReadsAsEmpty) {
    ConfigHome home;
    QtSettingsStore store;
    EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "ComPort"), ""); // no file at all
    store.writeSetting("Veltaro", "StartUp", "ComPort", "3");
    EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "CheckTRX"), "");
    EXPECT_EQ(store.readSetting("Veltaro", "Ports", "ComPort"), "");
    EXPECT_EQ(store.readSetting("Other", "StartUp", "ComPort"), "");
    EXPECT_FALSE(QFile::exists(QtSettingsStore::filePath("Other")));
}

TEST(QtSettingsStore, HandEditedOrDamagedFileKeepsItsReadableKeys) {
    QByteArray junk("\x00\x01\xff\xfe\x80[\x02=\x03\n\x7f\xc3\x28\n", 15);
    const std::pair<const char*, QByteArray> cases[] = {
        {"spaces around =", "[StartUp]\nComPort = 7\nCheckOnTop=1\n"},
        {"junk around a section", junk + "\n[StartUp]\nComPort=7\nCheckOnTop=1\n" + junk},
        {"junk inside a section", "[StartUp]\nComPort=7\n" + junk + "\nCheckOnTop=1\n"},
        {"truncated mid-line", "[StartUp]\nComPort=7\nCheckOnTop=1\nCheckTR"},
        {"truncated header", "[StartUp]\nComPort=7\nCheckOnTop=1\n[Sta"},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        ConfigHome home;
        home.write(file);
        QtSettingsStore store;
        EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "ComPort"), "7");
        EXPECT_NO_THROW(store.writeSetting("Veltaro", "StartUp", "CheckHRD", "1"));
        EXPECT_EQ(readInChild({"ComPort", "CheckOnTop", "CheckHRD"}),
                  (std::vector<std::string>{"7", "1", "1"}))
            << home.contents().toStdString();
    }
}

// As nobody: the user's own read-only file, and a settings folder that is not the user's.
TEST(QtSettingsStore, UnwritableFileOrFolderRaisesAndLeavesTheFileAlone) {
    SKIP_UNLESS_ROOT();
    for (bool fileExists : {true, false}) {
        SCOPED_TRACE(fileExists ? "read-only file" : "folder of another user");
        ConfigHome home;
        ASSERT_EQ(::chmod(QFile::encodeName(home.path()), 0755), 0);
        if (fileExists) {
            home.write("[StartUp]\nComPort=7\n");
            for (auto path : {home.path(), home.path() + "/Veltaro", home.settingsFile()})
                support::giveToNobody(path);
            ASSERT_EQ(::chmod(QFile::encodeName(home.settingsFile()), 0444), 0);
        }
        auto child = inChild("write-setting", {"ComPort", "9"}, true);
        EXPECT_EQ(child.exitCode, RaisedError) << child.out.toStdString();
        EXPECT_EQ(home.contents(), fileExists ? QByteArray("[StartUp]\nComPort=7\n") : "");
        EXPECT_EQ(QFile::exists(home.settingsFile()), fileExists);
    }
}

} // namespace
} // namespace veltaro::qt::test
