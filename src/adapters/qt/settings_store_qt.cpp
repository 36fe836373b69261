#include "adapters/qt/settings_store_qt.h"

#include "base/errors.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QVariant>

namespace veltaro::qt {

QString QtSettingsStore::filePath(const std::string& app) {
    auto name = QString::fromStdString(app);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/" + name +
           "/" + name + ".conf";
}

std::string QtSettingsStore::readSetting(const std::string& app, const std::string& section,
                                         const std::string& key) {
    QSettings store(filePath(app), QSettings::IniFormat);
    store.beginGroup(QString::fromStdString(section));
    auto value = store.value(QString::fromStdString(key));
    // A hand-edited line with unquoted commas comes back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(',').toStdString();
    return value.toString().toStdString();
}

void QtSettingsStore::writeSetting(const std::string& app, const std::string& section,
                                   const std::string& key, const std::string& value) {
    auto path = filePath(app);
    QSettings store(path, QSettings::IniFormat);
    store.beginGroup(QString::fromStdString(section));
    store.setValue(QString::fromStdString(key), QString::fromStdString(value));
    store.endGroup();
    store.sync();
    // FormatError only says that the old file held lines QSettings could not make out; the keys
    // it could read have been written back in a clean file together with the new value.
    if (store.status() == QSettings::AccessError)
        throw veltaro::Error(path.toStdString() + ": cannot be written");
}

} // namespace veltaro::qt
