// Registry values addressed by one path string.
#include "lang/sysinfo.h"

#include <windows.h>

#include <vector>

namespace {

// Predefined keys are sign-extended 32-bit values on 64-bit Windows.
HKEY RootKeyHandle(uint32_t root)
{
    return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(root))));
}

constexpr DWORD ValueBufferSize = 10241;

}  // namespace

std::string ReadRegistryString(const std::string& path, const std::string& valueName, const std::string& def,
                               bool view64)
{
    const TRegistryPath p = SplitRegistryPath(path);
    HKEY key = nullptr;
    const REGSAM access = view64 ? (KEY_READ | KEY_WOW64_64KEY) : KEY_READ;
    if (RegOpenKeyExA(RootKeyHandle(p.Root), p.SubKey.c_str(), 0, access, &key) != ERROR_SUCCESS) return def;

    std::vector<BYTE> buf(ValueBufferSize, 0);
    DWORD type = 0;
    DWORD size = ValueBufferSize;
    const LONG rc = RegQueryValueExA(key, valueName.c_str(), nullptr, &type, buf.data(), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return def;
    if (size > ValueBufferSize) size = ValueBufferSize;

    if (type == REG_DWORD && size == 4) {
        DWORD v = 0;
        memcpy(&v, buf.data(), 4);
        return std::to_string(static_cast<unsigned long>(v));
    }
    if (type == REG_MULTI_SZ && size > 2) {
        while (size > 0 && buf[size - 1] == 0) --size;
        std::string out;
        for (DWORD i = 0; i < size; ++i) {
            if (buf[i] == 0)
                out += "<0>";
            else
                out += static_cast<char>(buf[i]);
        }
        return out;
    }
    DWORD n = 0;
    while (n < size && buf[n] != 0) ++n;  // the stored data need not end with a zero
    return std::string(reinterpret_cast<const char*>(buf.data()), n);
}

std::string WindowsVersionKey()
{
    return IsWindowsNT() ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                         : "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
}
