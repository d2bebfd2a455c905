// Which Windows runs this process.
#include "lang/sysinfo.h"

#include <windows.h>

namespace {

// GetVersionExA into a plain (148 bytes) or extended (156 bytes) record.
template <typename TVersionInfo> bool QueryVersion(TVersionInfo& vi)
{
    ZeroMemory(&vi, sizeof(vi));
    vi.dwOSVersionInfoSize = sizeof(TVersionInfo);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
    return GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&vi)) != 0;
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
}

#ifndef _WIN64
FARPROC ProcOf(const char* module, const char* name)
{
    HMODULE h = GetModuleHandleA(module);
    return h ? GetProcAddress(h, name) : nullptr;
}
#endif

bool DetectWindows64()
{
#ifdef _WIN64
    // A 64-bit process runs on 64-bit Windows only; WOW64 does not apply to it.
    return true;
#else
    using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

    auto getNative = reinterpret_cast<GetNativeSystemInfoFn>(
        reinterpret_cast<void*>(ProcOf("kernel32.dll", "GetNativeSystemInfo")));
    if (!getNative) return false;
    SYSTEM_INFO si;
    ZeroMemory(&si, sizeof(si));
    getNative(&si);

    auto isWow64 =
        reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(ProcOf("kernel32.dll", "IsWow64Process")));
    BOOL wow = FALSE;
    if (!isWow64 || !isWow64(GetCurrentProcess(), &wow) || !wow) return false;

    if (!ProcOf("kernel32.dll", "Wow64DisableWow64FsRedirection") ||
        !ProcOf("kernel32.dll", "Wow64RevertWow64FsRedirection") ||
        !ProcOf("kernel32.dll", "GetSystemWow64DirectoryA"))
        return false;
    HMODULE advapi = LoadLibraryExA("advapi32.dll", nullptr, 0);  // already mapped by the import table
    const bool hasDeleteEx = advapi && GetProcAddress(advapi, "RegDeleteKeyExA");
    if (advapi) FreeLibrary(advapi);
    return hasDeleteEx;
#endif
}

}  // namespace

bool IsWindowsNT()
{
    OSVERSIONINFOA vi;
    return QueryVersion(vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

bool IsWindowsXP()
{
    static int state = -1;
    if (state < 0) {
        OSVERSIONINFOA vi;
        state = QueryVersion(vi) && vi.dwPlatformId == VER_PLATFORM_WIN32_NT && vi.dwMajorVersion == 5 &&
                        vi.dwMinorVersion == 1
                    ? 1
                    : 0;
    }
    return state == 1;
}

bool IsWindows8OrLater()
{
    OSVERSIONINFOA vi;
    if (!QueryVersion(vi)) return false;
    return IsVersion8OrLater(vi.dwPlatformId,
                             std::to_string(vi.dwMajorVersion) + "." + std::to_string(vi.dwMinorVersion));
}

bool IsWindows64()
{
    static int state = -1;
    if (state < 0) state = DetectWindows64() ? 1 : 0;
    return state == 1;
}

bool IsServerWindows()
{
    if (GetSystemMetrics(SM_SERVERR2) != 0) return true;
    OSVERSIONINFOEXA vi;
    const bool ok = QueryVersion(vi);
    return ok && (vi.wProductType == VER_NT_DOMAIN_CONTROLLER || vi.wProductType == VER_NT_SERVER);
}

TOsInfo GetOsInfo()
{
    OSVERSIONINFOA vi;
    if (!QueryVersion(vi)) return {};
    const bool nt = vi.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const std::string csd(vi.szCSDVersion, strnlen(vi.szCSDVersion, sizeof(vi.szCSDVersion)));
    return OsInfoFromVersion(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber, csd,
                             nt && IsWindows64(), nt && IsServerWindows());
}

uint32_t GetOsCode()
{
    return GetOsInfo().Code;
}
