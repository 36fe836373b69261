// PEGASUS.OUT writing and program start on the Windows file system; that PEGASUS.OUT is written
// beside the program is checked end to end (end_to_end.sh).
#include "adapters/win32/system_win32.h"
#include "base/errors.h"
#include "support.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using veltaro::win32::Win32FileSystem;

// A write replaces the whole content and leaves no temporary, also while a reader that allows
// writers (but not renaming over the file) holds it open; a file locked against writers raises
// and keeps its content.
TEST(Files, WriteReplacesTheWholeContent) {
    const std::string path = wintest::binDir() + "\\PEGASUS.OUT";
    for (const auto& [held, share, written] :
         {std::tuple{false, DWORD{0}, true},
          {true, DWORD{FILE_SHARE_READ | FILE_SHARE_WRITE}, true},
          {true, DWORD{0}, false}}) {
        SCOPED_TRACE(testing::Message() << "held " << held << ", sharing " << share);
        Win32FileSystem().writeFile(path, "144.174000\r\n");
        HANDLE h = held ? CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0,
                                      nullptr)
                        : nullptr;
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        if (written)
            EXPECT_NO_THROW(Win32FileSystem().writeFile(path, "07.074000\r\n"));
        else
            EXPECT_THROW(Win32FileSystem().writeFile(path, "07.074000\r\n"), veltaro::FileError);
        if (h)
            CloseHandle(h);
        std::ifstream in(path, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
                  written ? "07.074000\r\n" : "144.174000\r\n");
        EXPECT_EQ(GetFileAttributesA((path + ".new").c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

TEST(Launcher, AMissingProgramRaises) {
    veltaro::win32::Win32Launcher launcher;
    EXPECT_THROW(launcher.startProgram("C:\\Nowhere\\tool.exe"), veltaro::Error);
}
