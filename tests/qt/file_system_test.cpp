// The file adapter against real files in a temporary folder.
#include "support.h"

#include "platform/errors.h"
#include "platform/qt/file_system_qt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

namespace veltaro::qt::test {
namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

TEST(QtFileSystem, WritesExactlyTheBytesGiven) {
    QTemporaryDir dir;
    auto path = dir.path() + "/PEGASUS.OUT";
    QtFileSystem fs;
    fs.writeFile(path.toStdString(), "07.074000\r\n");
    EXPECT_EQ(QFileInfo(path).size(), 11);
    EXPECT_EQ(contents(path), QByteArray("07.074000\r\n"));
}

TEST(QtFileSystem, EachWriteReplacesTheWholeFile) {
    QTemporaryDir dir;
    auto path = dir.path() + "/PEGASUS.OUT";
    QtFileSystem fs;
    fs.writeFile(path.toStdString(), "144.17400\r\n");
    fs.writeFile(path.toStdString(), "07.074000\r\n");
    EXPECT_EQ(contents(path), QByteArray("07.074000\r\n"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"PEGASUS.OUT"})
        << "a temporary file was left behind";
}

TEST(QtFileSystem, ReadersNeverSeeAPartialFile) {
    QTemporaryDir dir;
    auto path = dir.path() + "/PEGASUS.OUT";
    const QByteArray a("14.074000\r\n"), b("144.17400\r\n");
    QtFileSystem fs;
    fs.writeFile(path.toStdString(), a.toStdString());

    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        while (!done) {
            auto seen = contents(path);
            if (seen != a && seen != b)
                ++torn;
            ++reads;
        }
    });
    for (int i = 0; i < 600; ++i)
        fs.writeFile(path.toStdString(), (i % 2 ? a : b).toStdString());
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

TEST(QtFileSystem, UnwritablePlacesRaiseFileError) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("PEGASUS.OUT.d");
    struct Case {
        const char* name;
        QString path;
    };
    const Case cases[] = {
        {"missing folder", dir.path() + "/no-such-folder/PEGASUS.OUT"},
        {"a folder in the way", dir.path() + "/PEGASUS.OUT.d"},
    };
    QtFileSystem fs;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            fs.writeFile(c.path.toStdString(), "07.074000\r\n");
            ADD_FAILURE() << "wrote " << c.path.toStdString();
        } catch (const veltaro::FileError& e) {
            auto name = QFileInfo(c.path).fileName().toStdString();
            EXPECT_EQ(std::string(e.what()).rfind(name + ": ", 0), 0u) << e.what();
        }
    }
}

TEST(QtFileSystem, ReadOnlyFolderRaisesAndKeepsTheOldContent) {
    REQUIRE_ROOT();
    QTemporaryDir dir;
    auto path = dir.path() + "/PEGASUS.OUT";
    QtFileSystem fs;
    fs.writeFile(path.toStdString(), "14.074000\r\n");
    giveToNobody(dir.path());
    giveToNobody(path); // the file itself stays writable; only the folder is closed
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0555), 0);

    auto child = runChild("write-file", {path, "07.074000\r\n"}, true);
    EXPECT_TRUE(child.finished);
    EXPECT_EQ(child.exitCode, ChildOk) << child.output.toStdString();
    EXPECT_TRUE(child.output.startsWith("PEGASUS.OUT: ")) << child.output.toStdString();
    EXPECT_EQ(contents(path), QByteArray("14.074000\r\n"));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
}

TEST(QtFileSystem, OrdinaryFiles) {
    QTemporaryDir dir;
    auto make = [&](const QString& name) {
        QFile f(dir.path() + "/" + name);
        f.open(QIODevice::WriteOnly);
        f.write("x");
    };
    make("msinfo32.exe");
    make(".hidden");
    make("empty");
    QDir(dir.path()).mkdir("folder");
    QFile::link(dir.path() + "/msinfo32.exe", dir.path() + "/link");
    QFile::link(dir.path() + "/gone", dir.path() + "/dangling");

    struct Case {
        QString path;
        bool ordinary;
    };
    const Case cases[] = {
        {dir.path() + "/msinfo32.exe", true},
        {dir.path() + "/empty", true},
        {dir.path() + "/link", true},
        {dir.path() + "/.hidden", false},
        {dir.path() + "/folder", false},
        {dir.path() + "/missing", false},
        {dir.path() + "/dangling", false},
        {"/dev/null", false},
        {"", false},
    };
    QtFileSystem fs;
    for (const auto& c : cases)
        EXPECT_EQ(fs.isOrdinaryFile(c.path.toStdString()), c.ordinary) << c.path.toStdString();
}

TEST(QtFileSystem, ProgramFolderIsTheFolderOfTheRunningBinary) {
    char exe[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", exe, sizeof exe - 1), 0);
    QtFileSystem fs;
    EXPECT_EQ(fs.inProgramFolder("PEGASUS.OUT"),
              QFileInfo(QString::fromLocal8Bit(exe)).absolutePath().toStdString() + "/PEGASUS.OUT");
}

} // namespace
} // namespace veltaro::qt::test
