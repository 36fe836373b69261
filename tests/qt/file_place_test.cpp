// As the user nobody, beside a copy of the program in a folder of root's: PEGASUS.OUT goes to
// $XDG_STATE_HOME/Veltaro, created for it; a writable folder is found so, and the probe leaves
// nothing behind.
#include "test_support.h"

#include "adapters/qt/file_system_qt.h"
#include "relay/frequency_file.h"

namespace veltaro::qt::test {
namespace {

TEST(QtFileSystem, AProgramFolderClosedToTheUserSendsThePegasusFileToTheStateFolder) {
    if (const QString state = support::nobodyArgument(); !state.isEmpty()) {
        qputenv("XDG_STATE_HOME", QFile::encodeName(state));
        QtFileSystem fs;
        FrequencyFile(fs, [](const Notice&) {}).write("14.074000");
        return;
    }
    SKIP_UNLESS_ROOT();
    QTemporaryDir state;
    support::giveToNobody(state.path());
    EXPECT_TRUE(support::rerunAsNobody(state.path()));
    EXPECT_EQ(support::readFile(state.path() + "/Veltaro/PEGASUS.OUT"), "14.074000\r\n");
    EXPECT_TRUE(QtFileSystem().canWriteBeside(state.path().toStdString() + "/PEGASUS.OUT"));
    EXPECT_EQ(QDir(state.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{"Veltaro"});
}

} // namespace
} // namespace veltaro::qt::test
