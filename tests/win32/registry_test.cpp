// The registry: settings round-trip through the per-user branch as REG_SZ, and the two System
// Info routes set up with Wine's reg.exe and read through advapi32.
#include "about/frm_about.h"
#include "platform/errors.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

using veltaro::win32::RegistrySettingsStore;
using veltaro::win32::Win32Registry;

namespace {

constexpr const char* App = "VeltaroRegistryTest";
const std::string Route1 = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string Route2 = "SOFTWARE\\Microsoft\\Shared Tools Location";

long reg(const std::string& args) {
    return wintest::run("reg.exe " + args);
}

struct RecordingLauncher : veltaro::ILauncher {
    std::vector<std::string> started;
    bool fail = false;
    void startProgram(const std::string& path) override {
        started.push_back(path);
        if (fail)
            throw veltaro::Error("cannot start");
    }
};

} // namespace

TEST(RegistrySettings, RoundTripThroughTheVbBranchAsStrings) {
    RegDeleteTreeA(HKEY_CURRENT_USER,
                   (std::string("Software\\VB and VBA Program Settings\\") + App).c_str());
    {
        RegistrySettingsStore store;
        EXPECT_EQ(store.readSetting(App, "StartUp", "ComPort"), "");
        store.writeSetting(App, "StartUp", "ComPort", "12");
        store.writeSetting(App, "StartUp", "Position-Left", "-60");
        store.writeSetting(App, "StartUp", "CheckHRD", "");
        store.writeSetting(App, "StartUp", "ComPort", "5"); // replaces
    }
    RegistrySettingsStore fresh;
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "ComPort"), "5");
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "Position-Left"), "-60");
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "CheckHRD"), "");
    EXPECT_EQ(fresh.readSetting(App, "Other", "ComPort"), "");
    const auto raw = wintest::readRaw(
        HKEY_CURRENT_USER,
        std::string("Software\\VB and VBA Program Settings\\") + App + "\\StartUp", "ComPort");
    ASSERT_TRUE(raw.found);
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.bytes, std::string("5\0", 2));
}

TEST(RegistrySettings, ValuesWrittenByRegExeAreRead) {
    const std::string key =
        std::string("HKCU\\Software\\VB and VBA Program Settings\\") + App + "\\StartUp";
    ASSERT_EQ(reg("add \"" + key + "\" /v CheckCommander /d 1 /f"), 0);
    RegistrySettingsStore store;
    EXPECT_EQ(store.readSetting(App, "StartUp", "CheckCommander"), "1");
}

TEST(SysInfoRoutes, GetKeyValueReadsWhatRegAddStored) {
    Win32Registry registry;
    ASSERT_EQ(reg("add \"HKLM\\" + Route1 + "\" /v PATH /d \"C:\\Tools\\msinfo32.exe\" /f"), 0);
    ASSERT_EQ(reg("add \"HKLM\\" + Route1 + "\" /v Count /t REG_BINARY /d 0102 /f"), 0);
    std::string val = "keep";
    EXPECT_TRUE(veltaro::GetKeyValue(registry, 0x80000002u, Route1, "PATH", val));
    EXPECT_EQ(val, "C:\\Tools\\msinfo32.exe");
    val = "keep";
    EXPECT_TRUE(veltaro::GetKeyValue(registry, 0x80000002u, Route1, "Count", val));
    EXPECT_EQ(val, "keep"); // neither REG_SZ nor REG_DWORD
    val = "x";
    EXPECT_FALSE(veltaro::GetKeyValue(registry, 0x80000002u, Route1, "Missing", val));
    EXPECT_EQ(val, "");
    val = "x";
    EXPECT_FALSE(
        veltaro::GetKeyValue(registry, 0x80000002u, "SOFTWARE\\No\\Such Key", "PATH", val));
    EXPECT_EQ(val, "");
    reg("delete \"HKLM\\" + Route1 + "\" /f");
}

TEST(SysInfoRoutes, BufferOfTenTwentyFourBytesBoundsTheValue) {
    Win32Registry registry;
    for (const auto& [length, readable] : {std::pair{1023u, true}, std::pair{1024u, false}}) {
        SCOPED_TRACE(length);
        // length characters plus the terminating zero.
        ASSERT_EQ(
            reg("add \"HKLM\\" + Route1 + "\" /v PATH /d " + std::string(length, 'a') + " /f"), 0);
        std::string val;
        EXPECT_EQ(veltaro::GetKeyValue(registry, 0x80000002u, Route1, "PATH", val), readable);
        EXPECT_EQ(val, readable ? std::string(length, 'a') : std::string());
    }
    reg("delete \"HKLM\\" + Route1 + "\" /f");
}

TEST(SysInfoRoutes, StartSysInfoFollowsTheRoutesInOrder) {
    const std::string folder = wintest::binDir() + "\\sysinfo";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string tool = folder + "\\MSINFO32.EXE";
    DeleteFileA(tool.c_str());
    reg("delete \"HKLM\\" + Route1 + "\" /f");
    reg("delete \"HKLM\\" + Route2 + "\" /f");

    struct Step {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::string> started;
        bool unavailable;
    };
    const std::vector<Step> steps{
        {"neither route", [] {}, {}, true},
        {"route 2 without the tool",
         [&] { reg("add \"HKLM\\" + Route2 + "\" /v MSINFO /d \"" + folder + "\" /f"); },
         {},
         true},
        {"route 2 with the tool",
         [&] {
             HANDLE h =
                 CreateFileA(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
             CloseHandle(h);
         },
         {tool},
         false},
        {"route 1 wins without an existence test",
         [&] { reg("add \"HKLM\\" + Route1 + "\" /v PATH /d \"C:\\Nowhere\\tool.exe\" /f"); },
         {"C:\\Nowhere\\tool.exe"},
         false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.arrange();
        Win32Registry registry;
        veltaro::win32::Win32FileSystem files;
        RecordingLauncher launcher;
        wintest::RecordingDialogs dialogs;
        veltaro::frmAbout about({registry, files, launcher, dialogs}, [] {});
        about.cmdSysInfo_Click();
        EXPECT_EQ(launcher.started, s.started);
        EXPECT_EQ(dialogs.texts.size(), s.unavailable ? 1u : 0u);
    }
    reg("delete \"HKLM\\" + Route1 + "\" /f");
    reg("delete \"HKLM\\" + Route2 + "\" /f");
    DeleteFileA(tool.c_str());
}
