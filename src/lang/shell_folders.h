// The user's and the all-users' shell folders (desktop, start menu,
// documents, application data, profile folders) with fallbacks built from the
// Windows folder for systems whose shell lacks the calls or fails them.
//
// The choice between shell answer and fallback is portable and works on the
// sources it is given; the Windows part supplies the real ones. Shell folders
// are not cached: every call asks the shell again.
#pragma once

#include <functional>
#include <string>

// CSIDL values asked for; the "Create" ones carry CSIDL_FLAG_CREATE (0x8000).
constexpr int kCsidlPrograms = 2;
constexpr int kCsidlStartMenu = 11;
constexpr int kCsidlDesktopDirectory = 16;
constexpr int kCsidlCommonStartMenu = 22;
constexpr int kCsidlCommonPrograms = 23;
constexpr int kCsidlCommonDesktopDirectory = 25;
constexpr int kCsidlPersonalCreate = 0x8005;
constexpr int kCsidlAppDataCreate = 0x801A;
constexpr int kCsidlLocalAppDataCreate = 0x801C;
constexpr int kCsidlCommonAppDataCreate = 0x8023;
constexpr int kCsidlCommonDocumentsCreate = 0x802E;

enum class TShellFolder {
    DocumentsAndSettings,
    User,
    AllUsers,
    UserLocalAppData,
    UserAppData,
    AllUsersAppData,
    MyDocuments,
    AllUsersDocuments,
    UserStartMenu,
    AllUsersStartMenu,
    UserStartProgramMenu,
    AllUsersStartProgramMenu,
    UserDesktop,
    AllUsersDesktop,
};

// Where the folders come from. Shell answers are "" when the call is missing
// or fails; every member must be set.
struct TShellFolderSources {
    std::function<std::string(int csidl)> FolderPath;     // SHGetFolderPathA
    std::function<std::string(int csidl)> SpecialFolder;  // SHGetSpecialFolderPathA
    std::function<bool(const std::string& path)> DirectoryExists;
    std::function<std::string()> WindowsFolder;    // without trailing backslash
    std::function<std::string()> RegisteredOwner;  // defaults to the logged-on user
};

// Windows folder + "\Profiles\" + registered owner when that folder exists
// (and the owner has a name), else the Windows folder. `flag` is the
// trailing-backslash flag.
std::string ProfileFallbackFolderFrom(const TShellFolderSources& sources, bool flag);
// The folder of `kind`: the shell's answer when it exists, else its fallback
// (used as it is, existing or not, unless a second fallback follows it).
std::string ShellFolderFrom(TShellFolder kind, const TShellFolderSources& sources, bool flag);

// The system folder with its last "32" removed when that folder exists, else
// Windows folder + "\System" when that exists, else the system folder.
std::string System16FolderFrom(const std::string& systemFolder, const std::string& windowsFolder,
                               const std::function<bool(const std::string&)>& directoryExists, bool flag);
// The registered "Fonts" shell folder when it exists, else Windows folder + "\Fonts".
std::string FontFolderFrom(const std::string& registeredFonts, const std::string& windowsFolder,
                           const std::function<bool(const std::string&)>& directoryExists, bool flag);

#ifdef _WIN32
// The shell functions, each bound on first use from the system folder
// (shell32.dll, SHFolder.dll) and kept for the run; "" when the function is
// missing or the call fails.
std::string GetSpecialFolder(int csidl);
std::string GetFolderPath(int csidl);

TShellFolderSources SystemShellFolderSources();
std::string ProfileFallbackFolder(bool flag);
std::string ShellFolder(TShellFolder kind, bool flag);
std::string System16Folder(bool flag);
std::string FontFolder(bool flag);
#endif
