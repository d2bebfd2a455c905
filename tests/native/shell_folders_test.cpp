#include "lang/shell_folders.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// A machine as the shell folders see it: what the two shell calls answer and
// which folders exist.
struct TMachine {
    std::map<int, std::string> FolderPath;
    std::map<int, std::string> SpecialFolder;
    std::set<std::string> Folders;
    std::string Windows = R"(C:\WINDOWS)";
    std::string Owner = "bob";

    TShellFolderSources Sources() const
    {
        TShellFolderSources s;
        s.FolderPath = [this](int csidl) {
            const auto it = FolderPath.find(csidl);
            return it == FolderPath.end() ? std::string() : it->second;
        };
        s.SpecialFolder = [this](int csidl) {
            const auto it = SpecialFolder.find(csidl);
            return it == SpecialFolder.end() ? std::string() : it->second;
        };
        s.DirectoryExists = [this](const std::string& path) { return Folders.count(path) > 0; };
        s.WindowsFolder = [this] { return Windows; };
        s.RegisteredOwner = [this] { return Owner; };
        return s;
    }
};

struct TExpected {
    TShellFolder Kind;
    const char* Folder;
};

void ExpectFolders(const TMachine& machine, const std::vector<TExpected>& expected)
{
    const TShellFolderSources sources = machine.Sources();
    for (const TExpected& e : expected) {
        SCOPED_TRACE(static_cast<int>(e.Kind));
        EXPECT_EQ(ShellFolderFrom(e.Kind, sources, false), e.Folder);
        EXPECT_EQ(ShellFolderFrom(e.Kind, sources, true), std::string(e.Folder) + "\\");
    }
}

// Every shell call answers, with the folder layout of Windows XP.
TEST(ShellFolders, ShellAnswersWhereTheyExist)
{
    const std::string user = R"(C:\Documents and Settings\bob)";
    const std::string all = R"(C:\Documents and Settings\All Users)";
    TMachine m;
    m.FolderPath = {{kCsidlPersonalCreate, user + R"(\My Documents)"},
                    {kCsidlAppDataCreate, user + R"(\Application Data)"},
                    {kCsidlLocalAppDataCreate, user + R"(\Local Settings\Application Data)"},
                    {kCsidlCommonAppDataCreate, all + R"(\Application Data)"},
                    {kCsidlCommonDocumentsCreate, all + R"(\Documents)"}};
    m.SpecialFolder = {{kCsidlStartMenu, user + R"(\Start Menu)"},
                       {kCsidlCommonStartMenu, all + R"(\Start Menu)"},
                       {kCsidlPrograms, user + R"(\Start Menu\Programs)"},
                       {kCsidlCommonPrograms, all + R"(\Start Menu\Programs)"},
                       {kCsidlDesktopDirectory, user + R"(\Desktop)"},
                       {kCsidlCommonDesktopDirectory, all + R"(\Desktop)"}};
    for (const auto& [csidl, path] : m.FolderPath) m.Folders.insert(path);
    for (const auto& [csidl, path] : m.SpecialFolder) m.Folders.insert(path);
    m.Folders.insert({R"(C:\Documents and Settings)", user, all, m.Windows});

    ExpectFolders(
        m, {
               {TShellFolder::DocumentsAndSettings, R"(C:\Documents and Settings)"},
               {TShellFolder::User, R"(C:\Documents and Settings\bob)"},
               {TShellFolder::AllUsers, R"(C:\Documents and Settings\All Users)"},
               {TShellFolder::UserLocalAppData,
                R"(C:\Documents and Settings\bob\Local Settings\Application Data)"},
               {TShellFolder::UserAppData, R"(C:\Documents and Settings\bob\Application Data)"},
               {TShellFolder::AllUsersAppData, R"(C:\Documents and Settings\All Users\Application Data)"},
               {TShellFolder::MyDocuments, R"(C:\Documents and Settings\bob\My Documents)"},
               {TShellFolder::AllUsersDocuments, R"(C:\Documents and Settings\All Users\Documents)"},
               {TShellFolder::UserStartMenu, R"(C:\Documents and Settings\bob\Start Menu)"},
               {TShellFolder::AllUsersStartMenu, R"(C:\Documents and Settings\All Users\Start Menu)"},
               {TShellFolder::UserStartProgramMenu, R"(C:\Documents and Settings\bob\Start Menu\Programs)"},
               {TShellFolder::AllUsersStartProgramMenu,
                R"(C:\Documents and Settings\All Users\Start Menu\Programs)"},
               {TShellFolder::UserDesktop, R"(C:\Documents and Settings\bob\Desktop)"},
               {TShellFolder::AllUsersDesktop, R"(C:\Documents and Settings\All Users\Desktop)"},
           });
}

// Common application data at the top of a drive (C:\ProgramData): the
// all-users folder is that folder, not "C:", and the special-folder function
// is missing, so the menus and desktops fall back below the folders.
TEST(ShellFolders, AllUsersFolderWhenCommonAppDataIsAtTheTopOfADrive)
{
    TMachine m;
    m.FolderPath = {{kCsidlPersonalCreate, R"(C:\Users\bob\Documents)"},
                    {kCsidlAppDataCreate, R"(C:\Users\bob\AppData\Roaming)"},
                    {kCsidlLocalAppDataCreate, R"(C:\Users\bob\AppData\Local)"},
                    {kCsidlCommonAppDataCreate, R"(C:\ProgramData)"},
                    {kCsidlCommonDocumentsCreate, R"(C:\Users\Public\Documents)"}};
    for (const auto& [csidl, path] : m.FolderPath) m.Folders.insert(path);
    m.Folders.insert({R"(C:\Users)", R"(C:\Users\bob)", R"(C:\Users\bob\Desktop)", m.Windows});

    ExpectFolders(m, {
                         {TShellFolder::DocumentsAndSettings, R"(C:\Users)"},
                         {TShellFolder::User, R"(C:\Users\bob)"},
                         {TShellFolder::AllUsers, R"(C:\ProgramData)"},
                         {TShellFolder::AllUsersAppData, R"(C:\ProgramData)"},
                         {TShellFolder::AllUsersDocuments, R"(C:\Users\Public\Documents)"},
                         // The user's own fallback exists for the desktop only.
                         {TShellFolder::UserStartMenu, R"(C:\ProgramData\Start Menu)"},
                         {TShellFolder::UserStartProgramMenu, R"(C:\ProgramData\Start Menu\Programs)"},
                         {TShellFolder::UserDesktop, R"(C:\Users\bob\Desktop)"},
                         {TShellFolder::AllUsersStartMenu, R"(C:\ProgramData\Start Menu)"},
                         {TShellFolder::AllUsersStartProgramMenu, R"(C:\ProgramData\Start Menu\Programs)"},
                         {TShellFolder::AllUsersDesktop, R"(C:\ProgramData\Desktop)"},
                     });

    // Below a folder (not a drive root) the parent is still taken.
    m.FolderPath[kCsidlCommonAppDataCreate] = R"(D:\Data\ProgramData)";
    m.Folders.insert({R"(D:\Data\ProgramData)", R"(D:\Data)"});
    ExpectFolders(m, {{TShellFolder::AllUsers, R"(D:\Data)"}});
}

// A system without SHFolder.dll and without the special-folder function.
TEST(ShellFolders, FallbacksWithoutShellFunctions)
{
    TMachine noProfiles;  // Windows 9x without user profiles
    noProfiles.Folders = {noProfiles.Windows};
    ExpectFolders(noProfiles,
                  {
                      {TShellFolder::DocumentsAndSettings, R"(C:\WINDOWS)"},
                      {TShellFolder::User, R"(C:\WINDOWS)"},
                      {TShellFolder::AllUsers, R"(C:\WINDOWS)"},
                      {TShellFolder::UserLocalAppData, R"(C:\WINDOWS\Application Data)"},
                      {TShellFolder::UserAppData, R"(C:\WINDOWS\Application Data)"},
                      {TShellFolder::AllUsersAppData, R"(C:\WINDOWS\Application Data)"},
                      {TShellFolder::MyDocuments, R"(C:\WINDOWS\My Documents)"},
                      {TShellFolder::AllUsersDocuments, R"(C:\WINDOWS\Documents)"},
                      {TShellFolder::UserStartMenu, R"(C:\WINDOWS\Start Menu)"},
                      {TShellFolder::AllUsersStartMenu, R"(C:\WINDOWS\Start Menu)"},
                      {TShellFolder::UserStartProgramMenu, R"(C:\WINDOWS\Start Menu\Programs)"},
                      {TShellFolder::AllUsersStartProgramMenu, R"(C:\WINDOWS\Start Menu\Programs)"},
                      {TShellFolder::UserDesktop, R"(C:\WINDOWS\Desktop)"},
                      {TShellFolder::AllUsersDesktop, R"(C:\WINDOWS\Desktop)"},
                  });

    TMachine profiles = noProfiles;  // with a profile of the registered owner
    profiles.Folders.insert({R"(C:\WINDOWS\Profiles\bob)", R"(C:\WINDOWS\Profiles\bob\Start Menu)"});
    ExpectFolders(profiles,
                  {
                      {TShellFolder::DocumentsAndSettings, R"(C:\WINDOWS\Profiles\bob)"},
                      {TShellFolder::User, R"(C:\WINDOWS\Profiles\bob)"},
                      {TShellFolder::AllUsers, R"(C:\WINDOWS)"},
                      {TShellFolder::UserAppData, R"(C:\WINDOWS\Profiles\bob\Application Data)"},
                      {TShellFolder::UserLocalAppData, R"(C:\WINDOWS\Profiles\bob\Application Data)"},
                      {TShellFolder::AllUsersAppData, R"(C:\WINDOWS\Application Data)"},
                      {TShellFolder::MyDocuments, R"(C:\WINDOWS\Profiles\bob\My Documents)"},
                      {TShellFolder::UserStartMenu, R"(C:\WINDOWS\Profiles\bob\Start Menu)"},
                      // The first fallback is tested: there is no Programs folder in the profile.
                      {TShellFolder::UserStartProgramMenu, R"(C:\WINDOWS\Start Menu\Programs)"},
                      {TShellFolder::UserDesktop, R"(C:\WINDOWS\Desktop)"},
                  });
    EXPECT_EQ(ProfileFallbackFolderFrom(profiles.Sources(), true), "C:\\WINDOWS\\Profiles\\bob\\");
    EXPECT_EQ(ProfileFallbackFolderFrom(noProfiles.Sources(), false), "C:\\WINDOWS");

    // An empty owner's name names no profile, even where a Profiles folder exists.
    TMachine noOwner = profiles;
    noOwner.Owner = "";
    noOwner.Folders.insert(R"(C:\WINDOWS\Profiles\)");
    noOwner.Folders.insert(R"(C:\WINDOWS\Profiles)");
    EXPECT_EQ(ProfileFallbackFolderFrom(noOwner.Sources(), false), "C:\\WINDOWS");
}

// Shell answers that name no existing folder count as missing; a documents
// folder whose parent is gone gives the profile fallback.
TEST(ShellFolders, AnswersThatDoNotExist)
{
    TMachine m;
    m.Folders = {m.Windows, R"(D:\Docs\bob\My Documents)"};
    m.FolderPath = {{kCsidlPersonalCreate, R"(D:\Docs\bob\My Documents)"},
                    {kCsidlAppDataCreate, R"(D:\gone)"}};
    m.SpecialFolder = {{kCsidlDesktopDirectory, R"(D:\gone\Desktop)"}};
    ExpectFolders(m, {
                         {TShellFolder::DocumentsAndSettings, R"(C:\WINDOWS)"},
                         {TShellFolder::User, R"(C:\WINDOWS)"},
                         {TShellFolder::MyDocuments, R"(D:\Docs\bob\My Documents)"},
                         {TShellFolder::UserAppData, R"(C:\WINDOWS\Application Data)"},
                         {TShellFolder::UserDesktop, R"(C:\WINDOWS\Desktop)"},
                     });
}

TEST(ShellFolders, System16AndFontFolders)
{
    const std::set<std::string> all = {R"(C:\WINDOWS\system)", R"(C:\WINDOWS\System)", R"(C:\WINDOWS\Fonts)",
                                       R"(E:\Fonts)"};
    struct {
        std::set<std::string> folders;
        const char* system;
        const char* expected;
    } const cases16[] = {
        {{R"(C:\WINDOWS\system)"}, R"(C:\WINDOWS\system32)", R"(C:\WINDOWS\system)"},
        {{R"(C:\WINDOWS\System)"}, R"(C:\WINDOWS\system32)", R"(C:\WINDOWS\System)"},
        {{}, R"(C:\WINDOWS\system32)", R"(C:\WINDOWS\system32)"},
        // Only the last "32" goes.
        {{R"(C:\W32\system)"}, R"(C:\W32\system32)", R"(C:\W32\system)"},
        {{}, R"(C:\WINDOWS\SYSTEM\)", R"(C:\WINDOWS\SYSTEM)"},
    };
    for (const auto& c : cases16) {
        const auto exists = [&c](const std::string& p) { return c.folders.count(p) > 0; };
        EXPECT_EQ(System16FolderFrom(c.system, R"(C:\WINDOWS)", exists, false), c.expected) << c.system;
        EXPECT_EQ(System16FolderFrom(c.system, R"(C:\WINDOWS)", exists, true),
                  std::string(c.expected) + "\\");
    }

    const auto exists = [&all](const std::string& p) { return all.count(p) > 0; };
    EXPECT_EQ(FontFolderFrom(R"(E:\Fonts)", R"(C:\WINDOWS)", exists, false), R"(E:\Fonts)");
    EXPECT_EQ(FontFolderFrom(R"(E:\Missing)", R"(C:\WINDOWS)", exists, false), R"(C:\WINDOWS\Fonts)");
    EXPECT_EQ(FontFolderFrom("", R"(C:\WINDOWS\)", exists, true), "C:\\WINDOWS\\Fonts\\");
}

}  // namespace
