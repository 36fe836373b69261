// Help > Index on Linux: the manual installed to a fresh prefix is handed to the desktop, whose
// xdg-open (a stand-in first on PATH) records what it is asked to open; without a manual, an
// error says so.
#include "adapters/qt/system_qt.h"
#include "base/errors.h"
#include "test_support.h"

#include <QtWidgets>

namespace veltaro::test {
namespace {

TEST(Help, HelpIndexOpensTheInstalledManual) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "no X"; // the offscreen platform opens no URLs
    QTemporaryDir prefix, bin;
    ASSERT_EQ(
        support::run(VELTARO_CMAKE, {"--install", VELTARO_BUILD_DIR, "--prefix", prefix.path()})
            .exitCode,
        0);
    // The install also holds the link publisher, under the name the documents give.
    EXPECT_TRUE(QFileInfo(prefix.path() + "/bin/veltaro-link-publisher").isExecutable());
    QFile open(bin.path() + "/xdg-open");
    ASSERT_TRUE(open.open(QIODevice::WriteOnly));
    open.write("#!/bin/sh\necho \"$@\" > \"$0.log\"\n");
    open.close();
    open.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ":" + path);
    const auto restore = qScopeGuard([&] { qputenv("PATH", path); });

    EXPECT_THROW(qt::QtManual(bin.path().toStdString()).open(), Error);
    qt::QtManual(prefix.path().toStdString() + "/bin").open();
    const QString manual = prefix.path() + "/share/doc/veltaro/manual.html";
    EXPECT_TRUE(support::waitUntil([&] { return QFile::exists(open.fileName() + ".log"); }, 5000));
    EXPECT_EQ(support::readFile(open.fileName() + ".log").trimmed(),
              QUrl::fromLocalFile(manual).toEncoded());
}

} // namespace
} // namespace veltaro::test
