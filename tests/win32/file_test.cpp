// PEGASUS.OUT writing and program start on the Windows file system.
#include "platform/errors.h"
#include "platform/win32/platform_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using veltaro::win32::Win32FileSystem;

namespace {

std::string slurp(const std::string& path) {
    std::stringstream ss;
    ss << std::ifstream(path, std::ios::binary).rdbuf();
    return ss.str();
}

// A fresh path in the test folder, holding text when given.
std::string scratch(const char* name, const char* text = nullptr) {
    const std::string folder = wintest::binDir() + "\\filetest";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string path = folder + "\\" + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(path.c_str());
    if (text)
        Win32FileSystem().writeFile(path, text);
    return path;
}

} // namespace

TEST(Files, ProgramFolderIsTheExeFolderUnlessGiven) {
    EXPECT_EQ(Win32FileSystem().inProgramFolder("PEGASUS.OUT"),
              wintest::binDir() + "\\PEGASUS.OUT");
    EXPECT_EQ(Win32FileSystem("D:\\x").inProgramFolder("PEGASUS.OUT"), "D:\\x\\PEGASUS.OUT");
}

// A second write replaces the content and leaves no temporary, also while a reader that
// allows writers (but not renaming over the file) holds it open; a file locked against
// writers raises and keeps its content.
TEST(Files, WriteReplacesTheWholeContent) {
    const struct {
        const char* name;
        bool hold;   // a handle is held open during the write,
        DWORD share; // sharing this
        bool written;
    } rows[] = {{"PEGASUS.OUT", false, 0, true},
                {"HELD.OUT", true, FILE_SHARE_READ | FILE_SHARE_WRITE, true},
                {"LOCKED.OUT", true, 0, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const std::string path = scratch(r.name, "144.17400\r\n");
        HANDLE held = r.hold ? CreateFileA(path.c_str(), GENERIC_READ, r.share, nullptr,
                                           OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
        ASSERT_EQ(held != INVALID_HANDLE_VALUE, r.hold);
        if (r.written)
            EXPECT_NO_THROW(Win32FileSystem().writeFile(path, "07.074000\r\n"));
        else
            EXPECT_THROW(Win32FileSystem().writeFile(path, "07.074000\r\n"), veltaro::FileError);
        if (held != INVALID_HANDLE_VALUE)
            CloseHandle(held);
        EXPECT_EQ(slurp(path), r.written ? "07.074000\r\n" : "144.17400\r\n");
        EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST(Launcher, NothingToStartRaises) {
    veltaro::win32::Win32Launcher launcher;
    EXPECT_THROW(launcher.startProgram(""), veltaro::Error);
    EXPECT_THROW(launcher.startProgram("C:\\Nowhere\\tool.exe"), veltaro::Error);
}
