// PEGASUS.OUT writing, the ordinary-file test and program start on the Windows file system.
#include "platform/errors.h"
#include "platform/win32/platform_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using veltaro::win32::Win32FileSystem;

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string scratch(const char* name) {
    const std::string folder = wintest::binDir() + "\\filetest";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    return path;
}

} // namespace

TEST(Files, ProgramFolderIsTheExeFolderUnlessGiven) {
    EXPECT_EQ(Win32FileSystem().inProgramFolder("PEGASUS.OUT"),
              wintest::binDir() + "\\PEGASUS.OUT");
    EXPECT_EQ(Win32FileSystem("D:\\x").inProgramFolder("PEGASUS.OUT"), "D:\\x\\PEGASUS.OUT");
}

TEST(Files, WriteReplacesTheWholeContentAndLeavesNoTemporary) {
    Win32FileSystem fs;
    const std::string path = scratch("PEGASUS.OUT");
    fs.writeFile(path, "144.17400\r\n");
    fs.writeFile(path, "07.074000\r\n");
    EXPECT_EQ(slurp(path), "07.074000\r\n");
    EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Files, FileHeldOpenByAReaderIsRewrittenInPlace) {
    Win32FileSystem fs;
    const std::string path = scratch("HELD.OUT");
    fs.writeFile(path, "144.17400\r\n");
    // A reader that allows writers but not deletion or renaming over the file.
    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    fs.writeFile(path, "07.074000\r\n");
    CloseHandle(reader);
    EXPECT_EQ(slurp(path), "07.074000\r\n");
}

TEST(Files, FileLockedAgainstWritersRaisesFileError) {
    Win32FileSystem fs;
    const std::string path = scratch("LOCKED.OUT");
    fs.writeFile(path, "14.074000\r\n");
    HANDLE owner = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(owner, INVALID_HANDLE_VALUE);
    EXPECT_THROW(fs.writeFile(path, "07.074000\r\n"), veltaro::FileError);
    CloseHandle(owner);
    EXPECT_EQ(slurp(path), "14.074000\r\n");
}

TEST(Files, OrdinaryFileTest) {
    Win32FileSystem fs;
    struct Case {
        const char* name;
        DWORD attributes; // 0: do not create
        bool ordinary;
    };
    for (const Case& c :
         {Case{"plain.exe", FILE_ATTRIBUTE_NORMAL, true},
          Case{"readonly.exe", FILE_ATTRIBUTE_READONLY, true},
          Case{"hidden.exe", FILE_ATTRIBUTE_HIDDEN, false},
          Case{"system.exe", FILE_ATTRIBUTE_SYSTEM, false}, Case{"missing.exe", 0, false}}) {
        SCOPED_TRACE(c.name);
        const std::string path = scratch(c.name);
        if (c.attributes) {
            fs.writeFile(path, "x");
            SetFileAttributesA(path.c_str(), c.attributes);
        }
        EXPECT_EQ(fs.isOrdinaryFile(path), c.ordinary);
    }
    EXPECT_FALSE(fs.isOrdinaryFile(wintest::binDir()));
}

TEST(Launcher, NothingToStartRaises) {
    veltaro::win32::Win32Launcher launcher;
    EXPECT_THROW(launcher.startProgram(""), veltaro::Error);
    EXPECT_THROW(launcher.startProgram("C:\\Nowhere\\tool.exe"), veltaro::Error);
}
