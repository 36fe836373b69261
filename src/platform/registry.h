// Responsibilities: the registry calls used to find the system-information tool, with the
// advapi32 semantics (status 0 means success), and the tool's file name within a folder.
// Collaborations: about/get_key_value reads through it; platform/win32 calls advapi32,
// platform/qt stands the two routes in with a settings key and a $PATH search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace veltaro {

class IRegistry {
public:
    using Key = std::uintptr_t;
    static constexpr std::uint32_t HKEY_LOCAL_MACHINE_ROOT = 0x80000002u;
    static constexpr std::uint32_t REG_SZ_TYPE = 1;
    static constexpr std::uint32_t REG_DWORD_TYPE = 4;

    virtual ~IRegistry() = default;

    virtual long openKey(std::uint32_t root, const std::string& path, std::uint32_t access,
                         Key& key) = 0;
    // buffer.size() is the capacity; on success, type and length (bytes of data) are set and
    // the data is in the buffer. Data longer than the buffer fails.
    virtual long queryValue(Key key, const std::string& name, std::uint32_t& type,
                            std::vector<unsigned char>& buffer, std::uint32_t& length) = 0;
    virtual void closeKey(Key key) = 0;

    // What the second route appends to the folder it found ("\MSINFO32.EXE" on Windows).
    virtual std::string systemInfoFile(const std::string& folder) const = 0;
};

} // namespace veltaro
