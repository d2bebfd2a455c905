// The shell's folder functions, bound at run time: SHFolder.dll is missing on
// the oldest systems and SHGetSpecialFolderPathA on some shells.
#include "lang/shell_folders.h"

#include <windows.h>

#include "base/paths.h"
#include "base/safe_library.h"
#include "lang/sysinfo.h"
#include "package/files.h"

namespace {

using TSHGetSpecialFolderPathA = BOOL(WINAPI*)(HWND, LPSTR, int, BOOL);
using TSHGetFolderPathA = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);

constexpr DWORD kShellPathBufferSize = 1025;

// The entry of a system library, looked up once; the library stays loaded.
// A handle of 32 or less is a failure, as the oldest loaders reported it.
FARPROC BindOnce(const char* library, const char* entry)
{
    HMODULE module = LoadSystemLibrary(library);
    if (reinterpret_cast<UINT_PTR>(module) <= 32) return nullptr;
    return GetProcAddress(module, entry);
}

template <typename T> T Entry(const char* library, const char* entry)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(BindOnce(library, entry)));
}

}  // namespace

std::string GetSpecialFolder(int csidl)
{
    static const auto fn = Entry<TSHGetSpecialFolderPathA>("shell32.dll", "SHGetSpecialFolderPathA");
    if (!fn) return "";
    char buf[kShellPathBufferSize] = {};
    if (!fn(nullptr, buf, csidl, FALSE)) return "";
    buf[kShellPathBufferSize - 1] = '\0';
    return buf;
}

std::string GetFolderPath(int csidl)
{
    static const auto fn = Entry<TSHGetFolderPathA>("SHFolder.dll", "SHGetFolderPathA");
    if (!fn) return "";
    char buf[kShellPathBufferSize] = {};
    if (fn(nullptr, csidl, nullptr, 0, buf) != S_OK) return "";
    buf[kShellPathBufferSize - 1] = '\0';
    return buf;
}

TShellFolderSources SystemShellFolderSources()
{
    TShellFolderSources s;
    s.FolderPath = GetFolderPath;
    s.SpecialFolder = GetSpecialFolder;
    s.DirectoryExists = DirectoryExists;
    s.WindowsFolder = [] { return WindowsFolder(false); };
    s.RegisteredOwner = RegisteredOwner;
    return s;
}

std::string ProfileFallbackFolder(bool flag)
{
    return ProfileFallbackFolderFrom(SystemShellFolderSources(), flag);
}

std::string ShellFolder(TShellFolder kind, bool flag)
{
    return ShellFolderFrom(kind, SystemShellFolderSources(), flag);
}

std::string System16Folder(bool flag)
{
    return System16FolderFrom(SystemFolder(false), WindowsFolder(false), DirectoryExists, flag);
}

std::string FontFolder(bool flag)
{
    const std::string registered = ReadRegistryString(
        "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Fonts",
        "", false);
    return FontFolderFrom(registered, WindowsFolder(false), DirectoryExists, flag);
}
