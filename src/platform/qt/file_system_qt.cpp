#include "platform/qt/file_system_qt.h"

#include "platform/errors.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

namespace veltaro::qt {

std::string QtFileSystem::inProgramFolder(const std::string& fileName) const {
    return (QCoreApplication::applicationDirPath() + "/" + QString::fromStdString(fileName))
        .toStdString();
}

void QtFileSystem::writeFile(const std::string& path, const std::string& bytes) {
    auto name = QString::fromStdString(path);
    QSaveFile file(name);
    auto fail = [&]() {
        return veltaro::FileError(QFileInfo(name).fileName().toStdString() + ": " +
                                  file.errorString().toStdString());
    };
    if (!file.open(QIODevice::WriteOnly))
        throw fail();
    auto size = static_cast<qint64>(bytes.size());
    if (file.write(bytes.data(), size) != size) {
        auto error = fail();
        file.cancelWriting();
        throw error;
    }
    if (!file.commit())
        throw fail();
}

} // namespace veltaro::qt
