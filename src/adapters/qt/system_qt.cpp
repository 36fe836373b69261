#include "adapters/qt/system_qt.h"

#include "base/errors.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QUrl>

namespace veltaro::qt {

namespace {

// Preferred first, within each folder of $PATH.
const char* const SystemInfoTools[] = {"kinfocenter", "gnome-system-monitor", "hardinfo"};

bool isTool(const QDir& dir, const QString& name) {
    const QFileInfo info(dir.filePath(name));
    return info.isFile() && info.isExecutable();
}

} // namespace

void QtLauncher::startProgram(const std::string& path) {
    if (path.empty() || !QProcess::startDetached(QString::fromLocal8Bit(path.c_str()), {}))
        throw Error("cannot start " + path);
}

void QtManual::open() {
    const QDir folder(programFolder_.empty() ? QCoreApplication::applicationDirPath()
                                             : QString::fromStdString(programFolder_));
    const QString beside = folder.filePath(QLatin1String(ManualName));
    const QString installed = QDir::cleanPath(
        folder.filePath(QLatin1String(VELTARO_MANUAL_FROM_PROGRAM "/") + ManualName));
    for (const QString& manual : {beside, installed}) {
        if (!QFileInfo(manual).isFile())
            continue;
        // Nothing is waited for: the browser reports its own troubles.
        if (!QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
            throw Error("No program on this desktop opens the manual " + manual.toStdString() +
                        ". Open it in a web browser.");
        return;
    }
    throw Error("The manual cannot be found. It is installed with the program as " +
                installed.toStdString() + ".");
}

NumberFormat numberFormatFromLocale() {
    NumberFormat f;
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80)
        f.decimal = static_cast<char>(point.at(0).unicode());
    return f;
}

std::optional<std::string> QtSystemInfoLocator::find() {
    if (auto chosen = settings_.readSetting("Veltaro", "SystemInfo", "Path"); !chosen.empty())
        return chosen;
    const QStringList folders =
        QString::fromLocal8Bit(qgetenv("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const char* tool : SystemInfoTools)
            if (isTool(dir, QLatin1String(tool)))
                return dir.filePath(QLatin1String(tool)).toLocal8Bit().toStdString();
    }
    return std::nullopt;
}

} // namespace veltaro::qt
