// The file adapter against real files in a temporary folder.
#include "child.h"

#include "platform/errors.h"
#include "platform/qt/file_system_qt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <thread>

namespace veltaro::qt::test {
namespace {

using support::readFile;

struct Folder {
    QTemporaryDir dir;
    QString out = dir.path() + "/PEGASUS.OUT";
    QtFileSystem fs;
    void write(const QByteArray& text) { fs.writeFile(out.toStdString(), text.toStdString()); }
};

TEST(QtFileSystem, EachWriteReplacesTheWholeFileWithExactlyItsBytes) {
    Folder f;
    f.write("144.17400\r\n");
    f.write("07.074000\r\n");
    EXPECT_EQ(QFileInfo(f.out).size(), 11);
    EXPECT_EQ(readFile(f.out), QByteArray("07.074000\r\n"));
    EXPECT_EQ(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"PEGASUS.OUT"})
        << "a temporary file was left behind";
}

TEST(QtFileSystem, ReadersNeverSeeAPartialFile) {
    Folder f;
    const QByteArray a("14.074000\r\n"), b("144.17400\r\n");
    f.write(a);
    std::atomic<bool> done{false};
    std::atomic<int> reads{0}, torn{0};
    std::thread reader([&] {
        for (; !done; ++reads)
            if (auto seen = readFile(f.out); seen != a && seen != b)
                ++torn;
    });
    for (int i = 0; i < 600; ++i)
        f.write(i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(torn.load(), 0) << "of " << reads.load() << " reads";
}

TEST(QtFileSystem, UnwritablePlacesRaiseFileErrorNamingTheFile) {
    Folder f;
    QDir(f.dir.path()).mkdir("PEGASUS.OUT.d");
    for (const QString& path : {f.dir.path() + "/no-such-folder/PEGASUS.OUT", // missing folder
                                f.dir.path() + "/PEGASUS.OUT.d"}) {           // a folder in the way
        SCOPED_TRACE(path.toStdString());
        try {
            f.fs.writeFile(path.toStdString(), "07.074000\r\n");
            ADD_FAILURE() << "wrote it";
        } catch (const FileError& e) {
            EXPECT_EQ(
                std::string(e.what()).rfind(QFileInfo(path).fileName().toStdString() + ": ", 0), 0u)
                << e.what();
        }
    }
}

TEST(QtFileSystem, ReadOnlyFolderRaisesAndKeepsTheOldContent) {
    SKIP_UNLESS_ROOT();
    Folder f;
    f.write("14.074000\r\n");
    support::giveToNobody(f.dir.path());
    support::giveToNobody(f.out); // the file itself stays writable; only the folder is closed
    ASSERT_EQ(::chmod(QFile::encodeName(f.dir.path()), 0555), 0);
    auto child = inChild("write-file", {f.out, "07.074000\r\n"}, true);
    EXPECT_EQ(child.exitCode, RaisedFileError) << child.err.toStdString();
    EXPECT_TRUE(child.out.startsWith("PEGASUS.OUT: ")) << child.out.toStdString();
    EXPECT_EQ(readFile(f.out), QByteArray("14.074000\r\n"));
}

} // namespace
} // namespace veltaro::qt::test
