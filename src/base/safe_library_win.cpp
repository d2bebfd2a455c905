#include "base/safe_library.h"

#include "base/paths.h"

#include <windows.h>

namespace {

// From newer SDKs; the flags are understood wherever SetDefaultDllDirectories
// exists (Windows 8, or Vista/7 with the library-loading update).
constexpr DWORD LoadLibrarySearchSystem32 = 0x00000800;

using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryFn = BOOL(WINAPI*)(LPCSTR);

FARPROC Kernel32Proc(const char* name)
{
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel ? GetProcAddress(kernel, name) : nullptr;
}

bool HasSearchFlags()
{
    return Kernel32Proc("SetDefaultDllDirectories") != nullptr;
}

}  // namespace

std::string SystemLibraryPath(const std::string& name)
{
    if (!IsBareLibraryName(name)) return "";
    const std::string folder = SystemFolder(true);
    if (folder.empty()) return "";
    return folder + name;
}

HMODULE LoadSystemLibrary(const std::string& name)
{
    return LoadSystemLibraryVia(name, HasSearchFlags());
}

HMODULE LoadSystemLibraryVia(const std::string& name, bool searchFlag)
{
    if (!IsBareLibraryName(name)) return nullptr;
    if (searchFlag) return LoadLibraryExA(name.c_str(), nullptr, LoadLibrarySearchSystem32);
    const std::string path = SystemLibraryPath(name);
    if (path.empty()) return nullptr;
    // Altered search path: the library's own imports resolve from the system folder first.
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

bool RestrictLibrarySearch()
{
    if (auto setDllDirectory =
            reinterpret_cast<SetDllDirectoryFn>(reinterpret_cast<void*>(Kernel32Proc("SetDllDirectoryA"))))
        setDllDirectory("");
    auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(Kernel32Proc("SetDefaultDllDirectories")));
    return setDefault && setDefault(LoadLibrarySearchSystem32);
}

int PreloadSystemLibraries()
{
    int loaded = 0;
    for (const char* name : PreloadedLibraries) {
        const UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
        if (LoadSystemLibrary(name)) ++loaded;
        SetErrorMode(previous);
    }
    return loaded;
}
