#include "adapters/qt/file_system_qt.h"

#include "base/errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <filesystem>
#include <system_error>

namespace veltaro::qt {

namespace {

QString folderOf(const std::string& path) {
    return QFileInfo(QString::fromStdString(path)).absolutePath();
}

} // namespace

std::string QtFileSystem::inProgramFolder(const std::string& fileName) const {
    return (QCoreApplication::applicationDirPath() + "/" + QString::fromStdString(fileName))
        .toStdString();
}

std::string QtFileSystem::inUserStateFolder(const std::string& app,
                                            const std::string& fileName) const {
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + "/.local/state";
    return (base + "/" + QString::fromStdString(app) + "/" + QString::fromStdString(fileName))
        .toStdString();
}

bool QtFileSystem::canWriteBeside(const std::string& path) const {
    QTemporaryFile probe(folderOf(path) + "/.veltaro-XXXXXX");
    return probe.open();
}

void QtFileSystem::makeFolderFor(const std::string& path) {
    const QString folder = folderOf(path);
    std::error_code error;
    std::filesystem::create_directories(QFile::encodeName(folder).toStdString(), error);
    if (error)
        throw veltaro::FileError(folder.toStdString() + ": " + error.message());
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
