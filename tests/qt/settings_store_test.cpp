// The settings store against a real file in a temporary XDG_CONFIG_HOME. Values are read back by
// a separate process, because within one process QSettings answers from its cache.
#include "support.h"

#include "platform/errors.h"
#include "platform/qt/settings_store_qt.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace veltaro::qt::test {
namespace {

// What a fresh process reads for the keys of a section.
std::vector<std::string> readInChild(const QString& section, const QStringList& keys) {
    auto child = runChild("read-settings", QStringList{"Veltaro", section} + keys, false);
    EXPECT_EQ(child.exitCode, ChildOk) << child.output.toStdString();
    std::vector<std::string> values;
    auto lines = child.output.split('\n');
    for (int i = 0; i < keys.size() && i < lines.size(); ++i)
        values.push_back(QByteArray::fromPercentEncoding(lines[i].toLatin1()).toStdString());
    values.resize(keys.size());
    return values;
}

TEST(QtSettingsStore, LivesInTheConfigHome) {
    ConfigHome home;
    EXPECT_EQ(QtSettingsStore::filePath("Veltaro"), home.settingsFile());
}

TEST(QtSettingsStore, TextComesBackFromDiskAsWritten) {
    const char* values[] = {
        "-60",        "1200",       "0",
        "",           "12",         "007",
        "1.5",        "4800,n,8,1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A600-if00-port0",
        "  padded  ", "@Invalid()", "a=b;c#d",
        "true",       "Grüße"};
    ConfigHome home;
    QtSettingsStore store;
    QStringList keys;
    for (std::size_t i = 0; i < std::size(values); ++i) {
        keys << QString("Key%1").arg(i);
        store.writeSetting("Veltaro", "StartUp", keys.back().toStdString(), values[i]);
    }
    auto back = readInChild("StartUp", keys);
    for (std::size_t i = 0; i < std::size(values); ++i)
        EXPECT_EQ(back[i], values[i]) << "key " << i;
    // The writing process agrees with the disk.
    for (std::size_t i = 0; i < std::size(values); ++i)
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

TEST(QtSettingsStore, EachWriteIsOnDiskAtOnce) {
    ConfigHome home;
    QtSettingsStore store;
    store.writeSetting("Veltaro", "StartUp", "ComPort", "12");
    auto text = home.settingsFileBytes();
    EXPECT_TRUE(text.contains("[StartUp]")) << text.toStdString();
    EXPECT_TRUE(text.contains("ComPort=12")) << text.toStdString();

    store.writeSetting("Veltaro", "StartUp", "ComPort", "4");
    text = home.settingsFileBytes();
    EXPECT_TRUE(text.contains("ComPort=4")) << text.toStdString();
    EXPECT_FALSE(text.contains("ComPort=12")) << text.toStdString();
}

TEST(QtSettingsStore, HandEditedFileIsRead) {
    ConfigHome home;
    home.writeSettingsFile("[StartUp]\nComPort = 5\nPosition-Left=-60\n"
                           "[Ports]\nCom5=/dev/ttyUSB0\nCom6=4800,n,8,1\n");
    QtSettingsStore store;
    EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "ComPort"), "5");
    EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "Position-Left"), "-60");
    EXPECT_EQ(store.readSetting("Veltaro", "Ports", "Com5"), "/dev/ttyUSB0");
    EXPECT_EQ(store.readSetting("Veltaro", "Ports", "Com6"), "4800,n,8,1");
}

TEST(QtSettingsStore, DamagedFileKeepsItsReadableKeys) {
    struct Case {
        const char* name;
        QByteArray file;
    };
    QByteArray junk("\x00\x01\xff\xfe\x80[\x02=\x03\n\x7f\xc3\x28\n", 15);
    const Case cases[] = {
        {"junk around a section", junk + "\n[StartUp]\nComPort=7\nCheckOnTop=1\n" + junk},
        {"junk inside a section", "[StartUp]\nComPort=7\n" + junk + "\nCheckOnTop=1\n"},
        {"truncated mid-line", "[StartUp]\nComPort=7\nCheckOnTop=1\nCheckTR"},
        {"truncated header", "[StartUp]\nComPort=7\nCheckOnTop=1\n[Sta"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigHome home;
        home.writeSettingsFile(c.file);
        QtSettingsStore store;
        EXPECT_EQ(store.readSetting("Veltaro", "StartUp", "ComPort"), "7");
        EXPECT_NO_THROW(store.writeSetting("Veltaro", "StartUp", "CheckHRD", "1"));
        auto back = readInChild("StartUp", {"ComPort", "CheckOnTop", "CheckHRD"});
        EXPECT_EQ(back, (std::vector<std::string>{"7", "1", "1"}))
            << home.settingsFileBytes().toStdString();
    }
}

TEST(QtSettingsStore, ReadOnlyFileRaisesAndIsLeftAlone) {
    REQUIRE_ROOT();
    ConfigHome home;
    home.writeSettingsFile("[StartUp]\nComPort=7\n");
    // The user's own file, made read-only, in the user's own folders.
    for (auto path : {home.path(), home.path() + "/Veltaro", home.settingsFile()})
        giveToNobody(path);
    ASSERT_EQ(::chmod(QFile::encodeName(home.settingsFile()).constData(), 0444), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0);

    auto child = runChild("write-setting", {"Veltaro", "StartUp", "ComPort", "9"}, true);
    EXPECT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, ChildOk) << child.output.toStdString();
    EXPECT_EQ(home.settingsFileBytes(), QByteArray("[StartUp]\nComPort=7\n"));
}

TEST(QtSettingsStore, UnwritableFolderRaises) {
    REQUIRE_ROOT();
    ConfigHome home;
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0755), 0); // root's, not nobody's
    auto child = runChild("write-setting", {"Veltaro", "StartUp", "ComPort", "9"}, true);
    EXPECT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, ChildOk) << child.output.toStdString();
    EXPECT_FALSE(QFile::exists(home.settingsFile()));
}

} // namespace
} // namespace veltaro::qt::test
