#include "lang/shell_folders.h"

#include "base/paths.h"

namespace {

bool Exists(const TShellFolderSources& s, const std::string& path)
{
    return !path.empty() && s.DirectoryExists(path);
}

// The folder above a path, without trailing backslash.
std::string Parent(const std::string& path)
{
    return SetTrailingBackslash(FolderPart(SetTrailingBackslash(path, false)), false);
}

// "C:" or "C:\": the top of a drive.
bool IsDriveRoot(const std::string& path)
{
    const std::string p = SetTrailingBackslash(path, false);
    return p.size() == 2 && p[1] == ':';
}

std::string Below(const std::string& folder, const char* name)
{
    return SetTrailingBackslash(folder, false) + "\\" + name;
}

// The shell's folder when it exists, else `fallback`.
std::string Or(const TShellFolderSources& s, const std::string& primary, const std::string& fallback)
{
    return Exists(s, primary) ? primary : fallback;
}

// Below `first` when that exists, else below `second`.
std::string BelowEither(const TShellFolderSources& s, const std::string& first, const std::string& second,
                        const char* name)
{
    const std::string candidate = Below(first, name);
    return Exists(s, candidate) ? candidate : Below(second, name);
}

std::string Resolve(TShellFolder kind, const TShellFolderSources& s)
{
    const auto profile = [&s] { return ProfileFallbackFolderFrom(s, false); };
    const auto user = [&s] { return ShellFolderFrom(TShellFolder::User, s, false); };
    const auto allUsers = [&s] { return ShellFolderFrom(TShellFolder::AllUsers, s, false); };
    switch (kind) {
    case TShellFolder::DocumentsAndSettings: {
        std::string p = s.FolderPath(kCsidlPersonalCreate);
        if (Exists(s, p)) {
            p = Parent(p);
            if (Exists(s, p)) p = Parent(p);
        }
        return Exists(s, p) ? p : profile();
    }
    case TShellFolder::User: {
        std::string p = s.FolderPath(kCsidlPersonalCreate);
        if (Exists(s, p)) p = Parent(p);
        return Exists(s, p) ? p : profile();
    }
    case TShellFolder::AllUsers: {
        std::string p = s.FolderPath(kCsidlCommonAppDataCreate);
        // Where common application data lies at the top of a drive
        // (C:\ProgramData), the drive is no all-users folder: the fallbacks
        // below it would become C:\Desktop and the like.
        if (Exists(s, p) && !IsDriveRoot(Parent(p))) p = Parent(p);
        return Exists(s, p) ? p : s.WindowsFolder();
    }
    case TShellFolder::UserLocalAppData:
        return Or(s, s.FolderPath(kCsidlLocalAppDataCreate), Below(profile(), "Application Data"));
    case TShellFolder::UserAppData:
        return Or(s, s.FolderPath(kCsidlAppDataCreate), Below(profile(), "Application Data"));
    case TShellFolder::AllUsersAppData:
        return Or(s, s.FolderPath(kCsidlCommonAppDataCreate), Below(s.WindowsFolder(), "Application Data"));
    case TShellFolder::MyDocuments:
        return Or(s, s.FolderPath(kCsidlPersonalCreate), Below(profile(), "My Documents"));
    case TShellFolder::AllUsersDocuments:
        return Or(s, s.FolderPath(kCsidlCommonDocumentsCreate), Below(s.WindowsFolder(), "Documents"));
    case TShellFolder::UserStartMenu: {
        const std::string p = s.SpecialFolder(kCsidlStartMenu);
        return Exists(s, p) ? p : BelowEither(s, user(), allUsers(), "Start Menu");
    }
    case TShellFolder::AllUsersStartMenu:
        return Or(s, s.SpecialFolder(kCsidlCommonStartMenu), Below(allUsers(), "Start Menu"));
    case TShellFolder::UserStartProgramMenu: {
        const std::string p = s.SpecialFolder(kCsidlPrograms);
        return Exists(s, p) ? p : BelowEither(s, user(), allUsers(), "Start Menu\\Programs");
    }
    case TShellFolder::AllUsersStartProgramMenu:
        return Or(s, s.SpecialFolder(kCsidlCommonPrograms), Below(allUsers(), "Start Menu\\Programs"));
    case TShellFolder::UserDesktop: {
        const std::string p = s.SpecialFolder(kCsidlDesktopDirectory);
        return Exists(s, p) ? p : BelowEither(s, user(), allUsers(), "Desktop");
    }
    case TShellFolder::AllUsersDesktop:
        return Or(s, s.SpecialFolder(kCsidlCommonDesktopDirectory), Below(allUsers(), "Desktop"));
    }
    return "";
}

}  // namespace

std::string ProfileFallbackFolderFrom(const TShellFolderSources& s, bool flag)
{
    const std::string windows = SetTrailingBackslash(s.WindowsFolder(), false);
    // Without an owner's name "Profiles\" would be the folder of all profiles.
    const std::string owner = s.RegisteredOwner();
    const std::string profile = windows + "\\Profiles\\" + owner;
    return SetTrailingBackslash(!owner.empty() && Exists(s, profile) ? profile : windows, flag);
}

std::string ShellFolderFrom(TShellFolder kind, const TShellFolderSources& sources, bool flag)
{
    return SetTrailingBackslash(Resolve(kind, sources), flag);
}

std::string System16FolderFrom(const std::string& systemFolder, const std::string& windowsFolder,
                               const std::function<bool(const std::string&)>& directoryExists, bool flag)
{
    const std::string system = SetTrailingBackslash(systemFolder, false);
    std::string result = system;
    const size_t at = system.rfind("32");
    const std::string without32 =
        at == std::string::npos ? std::string() : system.substr(0, at) + system.substr(at + 2);
    const std::string below = SetTrailingBackslash(windowsFolder, false) + "\\System";
    if (!without32.empty() && directoryExists(without32))
        result = without32;
    else if (directoryExists(below))
        result = below;
    return SetTrailingBackslash(result, flag);
}

std::string FontFolderFrom(const std::string& registeredFonts, const std::string& windowsFolder,
                           const std::function<bool(const std::string&)>& directoryExists, bool flag)
{
    const std::string result = !registeredFonts.empty() && directoryExists(registeredFonts)
                                   ? registeredFonts
                                   : SetTrailingBackslash(windowsFolder, false) + "\\Fonts";
    return SetTrailingBackslash(result, flag);
}
