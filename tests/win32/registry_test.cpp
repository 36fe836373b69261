// The place of the system-information tool, read from values that the test writes under
// HKEY_LOCAL_MACHINE of the test prefix (and removes). The settings in the registry are read and
// written end to end (end_to_end.sh).
#include "adapters/win32/registry_win32.h"
#include "base/errors.h"
#include "support.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

using veltaro::win32::Win32SystemInfoLocator;

// Route 1 is the tool's own value, taken as it stands; route 2 a folder that must hold the tool
// as an ordinary file. The last row leaves neither value behind.
TEST(SystemInfoLocator, RoutesInOrder) {
    const std::string folder = wintest::binDir() + "\\sysinfo";
    const std::string tool = folder + "\\MSINFO32.EXE";
    CreateDirectoryA(folder.c_str(), nullptr);
    // A registry value: its type and its bytes, exactly as stored.
    struct Value {
        DWORD type;
        std::string bytes;
    };
    const auto sz = [](const std::string& text) { return Value{REG_SZ, text + '\0'}; };
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
        {"neither route", {}, {}, None, nothing},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        SetFileAttributesA(tool.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(tool.c_str());
        RemoveDirectoryA(tool.c_str());
        if (r.toolAttributes == Folder)
            CreateDirectoryA(tool.c_str(), nullptr);
        else if (r.toolAttributes != None)
            CloseHandle(CreateFileA(tool.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    r.toolAttributes, nullptr));
        for (const auto& [key, name, v] :
             {std::tuple{Win32SystemInfoLocator::ToolKey, "PATH", &r.path},
              {Win32SystemInfoLocator::FolderKey, "MSINFO", &r.folder}}) {
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key, name);
            if (*v) {
                ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, key, name, (*v)->type,
                                          (*v)->bytes.data(),
                                          static_cast<DWORD>((*v)->bytes.size())),
                          ERROR_SUCCESS);
            }
        }
        Win32SystemInfoLocator locator;
        if (r.raises)
            EXPECT_THROW(locator.find(), veltaro::Error);
        else
            EXPECT_EQ(locator.find(), r.found);
    }
}
