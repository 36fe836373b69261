#include "adapters/win32/registry_win32.h"

#include "base/errors.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <type_traits>

namespace veltaro::win32 {

namespace {

// A value under HKEY_LOCAL_MACHINE as text; nothing when the key does not open or the value
// cannot be read into the buffer.
std::optional<std::string> machineValue(const char* keyPath, const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    // The key is closed on every way out.
    const std::unique_ptr<std::remove_pointer_t<HKEY>, decltype(&RegCloseKey)> closer(key,
                                                                                      &RegCloseKey);
    std::array<unsigned char, 1024> buffer{};
    DWORD type = 0;
    DWORD length = buffer.size();
    if (RegQueryValueExA(key, name, nullptr, &type, buffer.data(), &length) != ERROR_SUCCESS)
        return std::nullopt;
    if (length == 0)
        throw Error("Invalid procedure call or argument");
    switch (type) {
    case REG_SZ: {
        // Drop the terminating zero that string values carry; keep an unterminated value whole.
        const std::size_t kept = buffer[length - 1] == 0 ? length - 1 : length;
        return std::string(reinterpret_cast<const char*>(buffer.data()), kept);
    }
    case REG_DWORD: {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4 && i < length; ++i)
            v |= static_cast<std::uint32_t>(buffer[i]) << (8 * i);
        return std::to_string(v);
    }
    default:
        return std::string();
    }
}

bool isOrdinaryFile(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES &&
           (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

} // namespace

std::string RegistrySettingsStore::keyPath(const std::string& app, const std::string& section) {
    return std::string(Branch) + "\\" + app + "\\" + section;
}

std::string RegistrySettingsStore::readSetting(const std::string& app, const std::string& section,
                                               const std::string& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyPath(app, section).c_str(), 0, KEY_QUERY_VALUE, &h) !=
        ERROR_SUCCESS)
        return {};
    std::string out;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(h, key.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ) && size > 0) {
        std::string buf(size, '\0');
        if (RegQueryValueExA(h, key.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                             &size) == ERROR_SUCCESS) {
            buf.resize(size);
            out = buf.substr(0, buf.find('\0'));
        }
    }
    RegCloseKey(h);
    return out;
}

void RegistrySettingsStore::writeSetting(const std::string& app, const std::string& section,
                                         const std::string& key, const std::string& value) {
    HKEY h = nullptr;
    LONG rc = RegCreateKeyExA(HKEY_CURRENT_USER, keyPath(app, section).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &h, nullptr);
    if (rc != ERROR_SUCCESS)
        throw Error("Cannot create the settings key (error " + std::to_string(rc) + ")");
    rc = RegSetValueExA(h, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
    if (rc == ERROR_SUCCESS)
        RegFlushKey(h);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS)
        throw Error("Cannot write the setting " + key + " (error " + std::to_string(rc) + ")");
}

std::optional<std::string> Win32SystemInfoLocator::find() {
    if (auto path = machineValue(ToolKey, "PATH"))
        return path;
    const auto folder = machineValue(FolderKey, "MSINFO");
    if (!folder)
        return std::nullopt;
    std::string path = *folder + "\\MSINFO32.EXE";
    if (!isOrdinaryFile(path))
        return std::nullopt;
    return path;
}

} // namespace veltaro::win32
