// The registry: settings round-trip through the per-user branch as REG_SZ, and the place of the
// system-information tool read from values that the test writes under HKEY_LOCAL_MACHINE of the
// test prefix (and removes).
#include "platform/errors.h"
#include "platform/win32/registry_win32.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>

using veltaro::win32::RegistrySettingsStore;
using veltaro::win32::Win32SystemInfoLocator;

namespace {

constexpr const char* App = "VeltaroRegistryTest";
const std::string Branch = std::string("Software\\VB and VBA Program Settings\\") + App;

// Stores a text value with Wine's reg.exe, as another program would.
long regAdd(const std::string& key, const std::string& name, const std::string& data) {
    return wintest::run("reg.exe add \"" + key + "\" /v " + name + " /d \"" + data + "\" /f");
}

// A registry value: its type and its bytes, exactly as stored.
struct Value {
    DWORD type;
    std::string bytes;
};
Value sz(const std::string& text) {
    return {REG_SZ, text + '\0'};
}

void setMachineValue(const char* key, const char* name, const std::optional<Value>& v) {
    if (!v) {
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key, name);
        return;
    }
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, v->type, v->bytes.data(),
                              static_cast<DWORD>(v->bytes.size())),
              ERROR_SUCCESS);
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

// Route 1 is the tool's own value, taken as it stands; route 2 a folder that must hold the tool
// as an ordinary file.
TEST(SystemInfoLocator, RoutesInOrder) {
    const std::string folder = wintest::binDir() + "\\sysinfo";
    const std::string tool = folder + "\\MSINFO32.EXE";
    CreateDirectoryA(folder.c_str(), nullptr);
    constexpr DWORD None = 0, Plain = FILE_ATTRIBUTE_NORMAL, Folder = FILE_ATTRIBUTE_DIRECTORY;
    const std::optional<std::string> nothing;
    const std::string a1023(1023, 'a');
    const std::string elsewhere = "C:\\Nowhere\\tool.exe";
    const struct {
        const char* what;
        std::optional<Value> path;   // route 1
        std::optional<Value> folder; // route 2
        DWORD toolAttributes;        // None: no tool in the folder
        std::optional<std::string> found;
        bool raises = false;
    } rows[] = {
        {"route 1 without an existence test", sz(elsewhere), {}, None, elsewhere},
        {"route 1 empty wins over route 2", sz(""), sz(folder), Plain, ""},
        {"route 1 unterminated kept whole", Value{REG_SZ, "C:\\t.exe"}, {}, None, "C:\\t.exe"},
        {"route 1 number as text", Value{REG_DWORD, "\x78\x56\x34\x12"}, {}, None, "305419896"},
        {"route 1 other type as empty text", Value{REG_BINARY, "\x01\x02"}, {}, None, ""},
        {"route 1 filling the 1024 bytes", sz(a1023), {}, None, a1023},
        {"route 1 too long for them: route 2", sz(a1023 + "a"), sz(folder), Plain, tool},
        {"route 1 without data raises", Value{REG_SZ, ""}, sz(folder), Plain, nothing, true},
        {"route 2 plain tool", {}, sz(folder), Plain, tool},
        {"route 2 read-only tool", {}, sz(folder), FILE_ATTRIBUTE_READONLY, tool},
        {"route 2 hidden tool", {}, sz(folder), FILE_ATTRIBUTE_HIDDEN, nothing},
        {"route 2 system tool", {}, sz(folder), FILE_ATTRIBUTE_SYSTEM, nothing},
        {"route 2 folder named like the tool", {}, sz(folder), Folder, nothing},
        {"route 2 without the tool", {}, sz(folder), None, nothing},
        {"route 2 without data raises", {}, Value{REG_SZ, ""}, Plain, nothing, true},
        {"neither route", {}, {}, Plain, nothing},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        SetFileAttributesA(tool.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(tool.c_str());
        RemoveDirectoryA(tool.c_str());
        if (r.toolAttributes == Folder)
            CreateDirectoryA(tool.c_str(), nullptr);
        else if (r.toolAttributes != None) {
            CloseHandle(
                CreateFileA(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            SetFileAttributesA(tool.c_str(), r.toolAttributes);
        }
        setMachineValue(Win32SystemInfoLocator::ToolKey, "PATH", r.path);
        setMachineValue(Win32SystemInfoLocator::FolderKey, "MSINFO", r.folder);
        Win32SystemInfoLocator locator;
        if (r.raises)
            EXPECT_THROW(locator.find(), veltaro::Error);
        else
            EXPECT_EQ(locator.find(), r.found);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, Win32SystemInfoLocator::ToolKey);
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, Win32SystemInfoLocator::FolderKey, "MSINFO");
    SetFileAttributesA(tool.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(tool.c_str());
}
