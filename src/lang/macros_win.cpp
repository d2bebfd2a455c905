// The system's answers for the macro expander.
#include "lang/macros.h"

#include <windows.h>

#include <vector>

#include "base/paths.h"
#include "base/switches.h"
#include "lang/runtime_folders.h"
#include "lang/shell_folders.h"
#include "lang/sysinfo.h"

namespace {

constexpr const char* kUserShellFoldersKey =
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr const char* kCurrentVersionKey = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";

// Registry folders of the macros are read in the normal view.
std::string RegistryFolderValue(const char* key, const char* value)
{
    return SetTrailingBackslash(ReadRegistryString(key, value, "", false), false);
}

std::string Folder(TMacroFolder folder)
{
    switch (folder) {
    case TMacroFolder::Windows:
        return WindowsFolder(false);
    case TMacroFolder::System:
        return SystemFolder(false);
    case TMacroFolder::System16:
        return System16Folder(false);
    case TMacroFolder::StartMenu:
        return RegistryFolderValue(kUserShellFoldersKey, "Start Menu");
    case TMacroFolder::ProgramFiles:
        return RegistryFolderValue(kCurrentVersionKey, "ProgramFilesDir");
    case TMacroFolder::CommonFiles:
        return RegistryFolderValue(kCurrentVersionKey, "CommonFilesDir");
    case TMacroFolder::Fonts:
        return FontFolder(false);
    case TMacroFolder::Temp:
        return TempFolder(false);
    }
    return "";
}

std::string LongMonthName(int month)
{
    if (month < 1 || month > 12) return "";
    char buf[80] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + month - 1, buf, sizeof buf) <= 1) return "";
    return buf;
}

std::string FullPath(const std::string& path)
{
    std::vector<char> buf(MAX_PATH + 1);
    DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buf.size()), buf.data(), nullptr);
    }
    return n == 0 || n >= buf.size() ? path : std::string(buf.data(), n);
}

}  // namespace

TMacroSources SystemMacroSources()
{
    TMacroSources s;
    s.Folder = Folder;
    s.ShellFolder = [](TShellFolder kind) { return ShellFolder(kind, false); };
    s.RuntimeFolder = RuntimeFolder;
    s.LoggedUserName = LoggedUserName;
    s.RegisteredOwner = RegisteredOwner;
    s.RegisteredOrganization = RegisteredOrganization;
    s.ComputerName = ComputerName;
    s.CurrentDomainName = CurrentDomainName;
    s.Now = NowLocalDateTime;
    s.LongMonthName = LongMonthName;
    s.Separators = UserSeparators;
    s.FullPath = FullPath;
    s.OriginExeSwitch = [] { return GetSwitchStr(SwitchOriginExe, ""); };
    s.ProgramPath = ProgramPath;
    s.IsLeadByte = IsLeadByte;
    return s;
}
