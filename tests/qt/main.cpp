// Test entry: a QCoreApplication for the adapters, or one action in child mode (see child.h).
#include "child.h"

#include "core/fakes.h"
#include "platform/errors.h"
#include "platform/qt/file_system_qt.h"
#include "platform/qt/serial_line_qt.h"
#include "platform/qt/settings_store_qt.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cstdio>

namespace veltaro::qt::test {
namespace {

int childMain(const QString& mode, const QStringList& a) {
    try {
        if (mode == "open" && a.size() == 1) {
            fake::SettingsStore settings;
            settings.values["Veltaro/Ports/Com5"] = a[0].toStdString();
            QtSerialLine(settings).open("COM5");
        } else if (mode == "write-file" && a.size() == 2) {
            QtFileSystem().writeFile(a[0].toStdString(), a[1].toStdString());
        } else if (mode == "write-setting" && a.size() == 2) {
            QtSettingsStore().writeSetting("Veltaro", "StartUp", a[0].toStdString(),
                                           a[1].toStdString());
        } else if (mode == "read-settings") {
            QtSettingsStore store;
            for (const auto& key : a)
                std::printf("%s\n", QByteArray::fromStdString(
                                        store.readSetting("Veltaro", "StartUp", key.toStdString()))
                                        .toPercentEncoding()
                                        .constData());
        } else {
            return BadMode;
        }
        return Done;
    } catch (const PortError& e) {
        std::printf("%s", e.what());
        return RaisedPortError;
    } catch (const FileError& e) {
        std::printf("%s", e.what());
        return RaisedFileError;
    } catch (const Error& e) {
        std::printf("%s", e.what());
        return RaisedError;
    }
}

} // namespace

support::Finished inChild(const QString& mode, const QStringList& args, bool asNobody) {
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("VELTARO_TEST_CHILD", mode);
    const QString self = QCoreApplication::applicationFilePath();
    return asNobody ? support::runAsNobody(self, args, env) : support::run(self, args, env);
}

} // namespace veltaro::qt::test

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VELTARO_TEST_CHILD"))
        return veltaro::qt::test::childMain(qEnvironmentVariable("VELTARO_TEST_CHILD"),
                                            QCoreApplication::arguments().mid(1));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
