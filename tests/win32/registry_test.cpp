// The registry: settings round-trip through the per-user branch as REG_SZ, and the two System
// Info routes set up with Wine's reg.exe and read through advapi32.
#include "about/frm_about.h"
#include "platform/win32/platform_win32.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

using veltaro::win32::RegistrySettingsStore;
using veltaro::win32::Win32Registry;

namespace {

constexpr const char* App = "VeltaroRegistryTest";
const std::string Branch = std::string("Software\\VB and VBA Program Settings\\") + App;
const std::string Route1 = "HKLM\\SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const std::string Route2 = "HKLM\\SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr std::uint32_t HKLM = 0x80000002u;

long reg(const std::string& args) {
    return wintest::run("reg.exe " + args);
}
long regAdd(const std::string& key, const std::string& name, const std::string& data,
            const char* type = "REG_SZ") {
    return reg("add \"" + key + "\" /v " + name + " /t " + type + " /d \"" + data + "\" /f");
}
void regDelete(const std::string& key) {
    reg("delete \"" + key + "\" /f");
}
bool getKeyValue(const std::string& key, const char* name, std::string& val) {
    Win32Registry registry;
    return veltaro::GetKeyValue(registry, HKLM, key.substr(5), name, val);
}

} // namespace

TEST(RegistrySettings, RoundTripThroughTheVbBranchAsStrings) {
    RegDeleteTreeA(HKEY_CURRENT_USER, Branch.c_str());
    {
        RegistrySettingsStore store;
        EXPECT_EQ(store.readSetting(App, "StartUp", "ComPort"), "");
        store.writeSetting(App, "StartUp", "ComPort", "12");
        store.writeSetting(App, "StartUp", "Position-Left", "-60");
        store.writeSetting(App, "StartUp", "CheckHRD", "");
        store.writeSetting(App, "StartUp", "ComPort", "5"); // replaces
    }
    ASSERT_EQ(regAdd("HKCU\\" + Branch + "\\StartUp", "CheckCommander", "1"), 0);
    RegistrySettingsStore fresh;
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "ComPort"), "5");
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "Position-Left"), "-60");
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "CheckHRD"), "");
    EXPECT_EQ(fresh.readSetting(App, "StartUp", "CheckCommander"), "1");
    EXPECT_EQ(fresh.readSetting(App, "Other", "ComPort"), "");
    char raw[8];
    DWORD type = 0, size = sizeof raw;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, (Branch + "\\StartUp").c_str(), "ComPort",
                           RRF_RT_ANY | RRF_NOEXPAND, &type, raw, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::string(raw, size), std::string("5\0", 2));
}

TEST(SysInfoRoutes, GetKeyValueReadsWhatRegAddStored) {
    ASSERT_EQ(regAdd(Route1, "PATH", "C:\\Tools\\msinfo32.exe"), 0);
    ASSERT_EQ(regAdd(Route1, "Count", "0102", "REG_BINARY"), 0);
    const struct {
        std::string key;
        const char* name;
        bool found;
        std::string value; // from "keep"
    } rows[] = {
        {Route1, "PATH", true, "C:\\Tools\\msinfo32.exe"},
        {Route1, "Count", true, "keep"}, // neither REG_SZ nor REG_DWORD
        {Route1, "Missing", false, ""},
        {"HKLM\\SOFTWARE\\No\\Such Key", "PATH", false, ""},
        // 1023 characters and the terminating zero fill the buffer of 1024 bytes.
        {Route1, "Long", true, std::string(1023, 'a')},
        {Route1, "TooLong", false, ""},
    };
    ASSERT_EQ(regAdd(Route1, "Long", std::string(1023, 'a')), 0);
    ASSERT_EQ(regAdd(Route1, "TooLong", std::string(1024, 'a')), 0);
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        std::string val = "keep";
        EXPECT_EQ(getKeyValue(r.key, r.name, val), r.found);
        EXPECT_EQ(val, r.value);
    }
    regDelete(Route1);
}

TEST(SysInfoRoutes, StartSysInfoFollowsTheRoutesInOrder) {
    const std::string folder = wintest::binDir() + "\\sysinfo";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string tool = folder + "\\MSINFO32.EXE";
    DeleteFileA(tool.c_str());
    regDelete(Route1);
    regDelete(Route2);

    const struct {
        const char* what;
        std::function<void()> arrange;
        std::vector<std::string> started;
    } steps[] = {
        {"neither route", [] {}, {}},
        {"route 2 without the tool", [&] { regAdd(Route2, "MSINFO", folder); }, {}},
        {"route 2 with the tool",
         [&] {
             CloseHandle(
                 CreateFileA(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
         },
         {tool}},
        {"route 1 wins without an existence test",
         [&] { regAdd(Route1, "PATH", "C:\\Nowhere\\tool.exe"); },
         {"C:\\Nowhere\\tool.exe"}},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        s.arrange();
        Win32Registry registry;
        veltaro::win32::Win32FileSystem files;
        veltaro::fake::Launcher launcher;
        launcher.startable = {tool, "C:\\Nowhere\\tool.exe"};
        veltaro::fake::Dialogs dialogs;
        veltaro::frmAbout({registry, files, launcher, dialogs}, [] {}).cmdSysInfo_Click();
        EXPECT_EQ(launcher.started, s.started);
        EXPECT_EQ(dialogs.messages.size(), s.started.empty() ? 1u : 0u);
    }
    regDelete(Route1);
    regDelete(Route2);
    DeleteFileA(tool.c_str());
}
