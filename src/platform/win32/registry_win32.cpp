#include "platform/win32/registry_win32.h"

#include "platform/errors.h"

#include <windows.h>

namespace veltaro::win32 {

namespace {

// Predefined roots are 32-bit values that the 64-bit API sign-extends (HKEY_LOCAL_MACHINE is
// (HKEY)(LONG)0x80000002); any other value is a handle that openKey gave out.
HKEY toHkey(std::uintptr_t v) {
    if (v <= 0xFFFFFFFFu && (v & 0x80000000u))
        return reinterpret_cast<HKEY>(
            static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(v))));
    return reinterpret_cast<HKEY>(v);
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

long Win32Registry::openKey(std::uint32_t root, const std::string& path, std::uint32_t access,
                            Key& key) {
    HKEY h = nullptr;
    const LONG rc = RegOpenKeyExA(toHkey(root), path.c_str(), 0, access, &h);
    key = rc == ERROR_SUCCESS ? reinterpret_cast<Key>(h) : 0;
    return rc;
}

long Win32Registry::queryValue(Key key, const std::string& name, std::uint32_t& type,
                               std::vector<unsigned char>& buffer, std::uint32_t& length) {
    DWORD t = 0;
    DWORD size = static_cast<DWORD>(buffer.size());
    const LONG rc = RegQueryValueExA(toHkey(key), name.c_str(), nullptr, &t,
                                     buffer.empty() ? nullptr : buffer.data(), &size);
    if (rc == ERROR_SUCCESS) {
        type = t;
        length = size;
    }
    return rc;
}

void Win32Registry::closeKey(Key key) {
    RegCloseKey(toHkey(key));
}

std::string Win32Registry::systemInfoFile(const std::string&) const {
    return "\\MSINFO32.EXE";
}

} // namespace veltaro::win32
