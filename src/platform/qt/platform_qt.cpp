#include "platform/qt/platform_qt.h"

#include "platform/errors.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstring>

namespace veltaro::qt {

namespace {

constexpr const char* ToolKeyPath = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* ToolValue = "PATH";
constexpr const char* LocationKeyPath = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* LocationValue = "MSINFO";

bool sameName(const std::string& a, const char* b) {
    return QString::fromStdString(a).compare(QLatin1String(b), Qt::CaseInsensitive) == 0;
}

bool isTool(const QDir& dir, const QString& name) {
    const QFileInfo info(dir.filePath(name));
    return info.isFile() && info.isExecutable();
}

} // namespace

void QtDialogs::messageBox(const std::string& text, const std::string& caption) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
}

void QtDialogs::postMessage(const std::string& text, const std::string& caption) {
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this, text, caption] { messageBox(text, caption); },
        Qt::QueuedConnection);
}

void QtLauncher::startProgram(const std::string& path) {
    if (path.empty() || !QProcess::startDetached(QString::fromLocal8Bit(path.c_str()), {}))
        throw Error("cannot start " + path);
}

void QtHelp::showHelp(int /*command*/, const std::string& file) {
    // The viewer reports a missing file itself; nothing is waited for.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file)));
}

void QtSystem::Sleep(std::uint32_t milliseconds) {
    if (milliseconds == 0)
        QThread::yieldCurrentThread();
    else
        QThread::msleep(milliseconds);
}

NumberFormat numberFormatFromLocale() {
    NumberFormat f;
    const QString point = QLocale().decimalPoint();
    if (point.size() == 1 && point.at(0).unicode() < 0x80)
        f.decimal = static_cast<char>(point.at(0).unicode());
    return f;
}

QStringList QtRegistry::SystemInfoTools() {
    return {QStringLiteral("kinfocenter"), QStringLiteral("gnome-system-monitor"),
            QStringLiteral("hardinfo")};
}

long QtRegistry::openKey(std::uint32_t root, const std::string& path, std::uint32_t /*access*/,
                         Key& key) {
    key = 0;
    if (root != HKEY_LOCAL_MACHINE_ROOT)
        return FileNotFound;
    if (sameName(path, ToolKeyPath))
        key = ToolKey;
    else if (sameName(path, LocationKeyPath))
        key = LocationKey;
    else
        return FileNotFound;
    return Success;
}

long QtRegistry::queryValue(Key key, const std::string& name, std::uint32_t& type,
                            std::vector<unsigned char>& buffer, std::uint32_t& length) {
    QString value;
    if (key == ToolKey) {
        if (!sameName(name, ToolValue))
            return FileNotFound;
        value = toolPath();
    } else if (key == LocationKey) {
        if (!sameName(name, LocationValue))
            return FileNotFound;
        value = toolFolder();
    } else {
        return InvalidHandle;
    }
    if (value.isEmpty())
        return FileNotFound;

    const QByteArray bytes = value.toLocal8Bit();
    const auto needed = static_cast<std::uint32_t>(bytes.size()) + 1; // with the terminator
    type = REG_SZ_TYPE;
    length = needed;
    if (needed > buffer.size())
        return MoreData;
    std::memcpy(buffer.data(), bytes.constData(), static_cast<std::size_t>(bytes.size()));
    buffer[bytes.size()] = 0;
    return Success;
}

void QtRegistry::closeKey(Key /*key*/) {}

std::string QtRegistry::systemInfoFile(const std::string& folder) const {
    const QDir dir(QString::fromLocal8Bit(folder.c_str()));
    const QStringList tools = SystemInfoTools();
    const auto found =
        std::find_if(tools.begin(), tools.end(), [&](const QString& t) { return isTool(dir, t); });
    return "/" + (found != tools.end() ? *found : tools.first()).toStdString();
}

QString QtRegistry::toolPath() const {
    return QString::fromStdString(settings_.readSetting("Veltaro", "SystemInfo", "Path"));
}

QString QtRegistry::toolFolder() const {
    const QStringList folders =
        QString::fromLocal8Bit(qgetenv("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& folder : folders) {
        const QDir dir(folder);
        for (const QString& tool : SystemInfoTools())
            if (isTool(dir, tool))
                return folder;
    }
    return {};
}

} // namespace veltaro::qt
