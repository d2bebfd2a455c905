// Shell, runtime and macro folders on a real system. The registry-view tests
// run on both builds: a 32-bit process reads HKEY_LOCAL_MACHINE\Software
// through WOW64 redirection (its normal view is the 32-bit one), a 64-bit
// process reads the 64-bit view either way.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "lang/macros.h"
#include "lang/runtime_folders.h"
#include "lang/shell_folders.h"
#include "lang/sysinfo.h"
#include "package/files.h"
#include "stub/stub_win.h"
#include "ui/msgbox.h"

namespace {

constexpr bool k32BitProcess = sizeof(void*) == 4;

std::string ShellGetFolderPath(int csidl)
{
    char buf[MAX_PATH + 1] = {};
    return SHGetFolderPathA(nullptr, csidl, nullptr, 0, buf) == S_OK ? buf : "";
}

std::string ShellSpecialFolder(int csidl)
{
    char buf[MAX_PATH + 1] = {};
    return SHGetSpecialFolderPathA(nullptr, buf, csidl, FALSE) ? buf : "";
}

std::string Parent(const std::string& path)
{
    return SetTrailingBackslash(FolderPart(SetTrailingBackslash(path, false)), false);
}

TEST(ShellFolderCalls, AnswerAsTheShellDoes)
{
    for (int csidl : {kCsidlPersonalCreate, kCsidlAppDataCreate, kCsidlLocalAppDataCreate,
                      kCsidlCommonAppDataCreate, kCsidlCommonDocumentsCreate}) {
        EXPECT_NE(GetFolderPath(csidl), "") << csidl;
        EXPECT_EQ(GetFolderPath(csidl), ShellGetFolderPath(csidl)) << csidl;
    }
    for (int csidl : {kCsidlPrograms, kCsidlStartMenu, kCsidlDesktopDirectory, kCsidlCommonStartMenu,
                      kCsidlCommonPrograms, kCsidlCommonDesktopDirectory}) {
        EXPECT_NE(GetSpecialFolder(csidl), "") << csidl;
        EXPECT_EQ(GetSpecialFolder(csidl), ShellSpecialFolder(csidl)) << csidl;
    }
    // A CSIDL the shell does not know.
    EXPECT_EQ(GetFolderPath(0x7E), "");
    EXPECT_EQ(GetSpecialFolder(0x7E), "");
}

TEST(ShellFolders, EveryFolderOfTheSystem)
{
    for (int k = 0; k <= static_cast<int>(TShellFolder::AllUsersDesktop); ++k) {
        const TShellFolder kind = static_cast<TShellFolder>(k);
        const std::string folder = ShellFolder(kind, false);
        SCOPED_TRACE(std::to_string(k) + " " + folder);
        EXPECT_TRUE(DirectoryExists(folder));
        EXPECT_NE(folder.back(), '\\');
        EXPECT_EQ(ShellFolder(kind, true), folder + "\\");
    }
    const std::string documents = ShellGetFolderPath(kCsidlPersonalCreate);
    EXPECT_EQ(ShellFolder(TShellFolder::MyDocuments, false), documents);
    EXPECT_EQ(ShellFolder(TShellFolder::User, false), Parent(documents));
    EXPECT_EQ(ShellFolder(TShellFolder::DocumentsAndSettings, false), Parent(Parent(documents)));
    EXPECT_EQ(ShellFolder(TShellFolder::UserDesktop, false), ShellSpecialFolder(kCsidlDesktopDirectory));
    EXPECT_EQ(ShellFolder(TShellFolder::AllUsersStartProgramMenu, false),
              ShellSpecialFolder(kCsidlCommonPrograms));

    // C:\ProgramData lies at the top of its drive: it is the all-users folder itself.
    const std::string common = ShellGetFolderPath(kCsidlCommonAppDataCreate);
    const std::string above = Parent(common);
    const bool atDriveTop = above.size() == 2 && above[1] == ':';
    EXPECT_EQ(ShellFolder(TShellFolder::AllUsers, false), atDriveTop ? common : above);
    EXPECT_NE(ShellFolder(TShellFolder::AllUsers, false).size(), 2u);
}

// Sets the registered owner of Windows for the test's lifetime.
class RegisteredOwnerSet {
public:
    explicit RegisteredOwnerSet(const std::string& owner)
    {
        const REGSAM view = IsWindows64() ? KEY_WOW64_64KEY : 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", 0,
                          KEY_ALL_ACCESS | view, &key_) != ERROR_SUCCESS)
            return;
        char buf[256] = {};
        DWORD size = sizeof buf - 1;
        had_ = RegQueryValueExA(key_, "RegisteredOwner", nullptr, nullptr, reinterpret_cast<BYTE*>(buf),
                                &size) == ERROR_SUCCESS;
        saved_ = buf;
        Write(owner);
    }
    ~RegisteredOwnerSet()
    {
        if (!key_) return;
        if (had_)
            Write(saved_);
        else
            RegDeleteValueA(key_, "RegisteredOwner");
        RegCloseKey(key_);
    }

private:
    void Write(const std::string& v)
    {
        RegSetValueExA(key_, "RegisteredOwner", 0, REG_SZ, reinterpret_cast<const BYTE*>(v.c_str()),
                       static_cast<DWORD>(v.size() + 1));
    }
    HKEY key_ = nullptr;
    bool had_ = false;
    std::string saved_;
};

TEST(ShellFolders, ProfileFallbackOnTheSystem)
{
    const std::string windows = WindowsFolder(false);
    const std::string profiles = windows + "\\Profiles";
    const bool madeProfiles = CreateDirectoryA(profiles.c_str(), nullptr) != 0;
    {
        // An owner without a name (as Wine leaves it) has no profile folder.
        RegisteredOwnerSet owner("");
        EXPECT_EQ(RegisteredOwner(), "");
        EXPECT_EQ(ProfileFallbackFolder(false), windows);
    }
    {
        RegisteredOwnerSet owner("Velmora Owner");
        ASSERT_EQ(RegisteredOwner(), "Velmora Owner");
        const std::string profile = profiles + "\\Velmora Owner";
        EXPECT_EQ(ProfileFallbackFolder(true), windows + "\\");
        ASSERT_TRUE(CreateDirectoryA(profile.c_str(), nullptr));
        EXPECT_EQ(ProfileFallbackFolder(false), profile);
        EXPECT_EQ(ProfileFallbackFolder(true), profile + "\\");
        RemoveDirectoryA(profile.c_str());
    }
    if (madeProfiles) RemoveDirectoryA(profiles.c_str());
}

TEST(ShellFolders, System16AndFontFolder)
{
    const std::string system16 = System16Folder(false);
    EXPECT_TRUE(DirectoryExists(system16));
    EXPECT_NE(system16, "");
    const std::string system = SystemFolder(false);
    const size_t at = system.rfind("32");
    const std::string without32 = system.substr(0, at) + system.substr(at + 2);
    EXPECT_EQ(system16, DirectoryExists(without32) ? without32 : system) << system16;

    const std::string fonts = FontFolder(false);
    EXPECT_TRUE(DirectoryExists(fonts)) << fonts;
    EXPECT_EQ(FontFolder(true), fonts + "\\");
}

// A key written into the 32-bit and the 64-bit view; removed from both after.
class TwoViewKey {
public:
    explicit TwoViewKey(std::string subKey) : subKey_(std::move(subKey)) {}
    ~TwoViewKey()
    {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            const size_t at = subKey_.rfind('\\');
            HKEY parent = nullptr;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey_.substr(0, at).c_str(), 0, KEY_ALL_ACCESS | view,
                              &parent) == ERROR_SUCCESS) {
                RegDeleteKeyA(parent, subKey_.substr(at + 1).c_str());
                RegCloseKey(parent);
            }
        }
    }
    bool Set(REGSAM view, const char* valueName, const std::string& data)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                            nullptr, &key, nullptr) != ERROR_SUCCESS)
            return false;
        const LONG rc = RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                       static_cast<DWORD>(data.size() + 1));
        RegCloseKey(key);
        return rc == ERROR_SUCCESS;
    }

private:
    std::string subKey_;
};

// What each view mode finds when the value is in one view, the other or both
// (a key below HKEY_LOCAL_MACHINE\Software that WOW64 redirects).
struct TViewCase {
    bool In32, In64;
    int Mode;
    bool Program64;
    const char* OnWin64;  // what a 64-bit process finds
    const char* OnI686;   // what a 32-bit process on 64-bit Windows finds
};
const TViewCase kViewCases[] = {
    {true, true, 1, false, "64", "32"}, {true, true, 2, false, "64", "64"},
    {true, true, 3, false, "64", "32"}, {true, true, 0, false, "64", "32"},
    {true, true, 0, true, "64", "64"},  {true, false, 1, false, "", "32"},
    {true, false, 2, false, "", ""},    {true, false, 3, false, "", "32"},
    {false, true, 1, false, "64", ""},  {false, true, 3, false, "64", "64"},
    {false, true, 0, false, "64", ""},  {false, true, 0, true, "64", "64"},
};

std::string ViewFolder(const char* which)
{
    return *which ? std::string("C:\\Velmora") + which : std::string();
}

bool VisibleIn(REGSAM view, const char* subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// App Paths is one of the keys that both views share (Windows 7 and later,
// and Wine): a program registered by a 32-bit or a 64-bit installation is
// found in every mode. Where it is redirected, the modes choose as above.
TEST(RuntimeFolderViews, AppPathsInEachMode)
{
    const char* sub = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\velmora_view_test.exe";
    const bool saved = UseRegistry64View;
    for (REGSAM written : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        TwoViewKey key(sub);
        ASSERT_TRUE(key.Set(written, "", "C:\\VelmoraApp\\tool.exe"));
        const bool shared = VisibleIn(KEY_WOW64_32KEY, sub) && VisibleIn(KEY_WOW64_64KEY, sub);
        const bool inNormal = shared || !k32BitProcess || written == KEY_WOW64_32KEY;
        const bool in64 = shared || written == KEY_WOW64_64KEY;
        for (bool program64 : {false, true}) {
            UseRegistry64View = program64;
            SCOPED_TRACE(std::string(written == KEY_WOW64_32KEY ? "32" : "64") +
                         " shared=" + std::to_string(shared) + " program64=" + std::to_string(program64));
            const auto found = [](bool yes) { return yes ? std::string("C:\\VelmoraApp") : std::string(); };
            EXPECT_EQ(AppPathFolder("velmora_view_test.exe", 0), found(program64 ? in64 : inNormal));
            EXPECT_EQ(AppPathFolder("velmora_view_test.exe", 1), found(inNormal));
            EXPECT_EQ(AppPathFolder("velmora_view_test.exe", 2), found(in64));
            EXPECT_EQ(AppPathFolder("velmora_view_test.exe", 3), found(inNormal || in64));
        }
    }
    UseRegistry64View = saved;
}

TEST(RuntimeFolderViews, RegistryFolderInBothViews)
{
    const bool saved = UseRegistry64View;
    for (const TViewCase& c : kViewCases) {
        SCOPED_TRACE(std::to_string(c.Mode) + " in32=" + std::to_string(c.In32) +
                     " in64=" + std::to_string(c.In64) + " program64=" + std::to_string(c.Program64));
        // The value is named by the last path component; the key has no default value.
        TwoViewKey key("Software\\VelmoraFolderViewTest");
        if (c.In32) {
            ASSERT_TRUE(key.Set(KEY_WOW64_32KEY, "Dir", "C:\\Velmora32"));
        }
        if (c.In64) {
            ASSERT_TRUE(key.Set(KEY_WOW64_64KEY, "Dir", "C:\\Velmora64"));
        }
        UseRegistry64View = c.Program64;
        EXPECT_EQ(RegistryFolder("HKLM\\Software\\VelmoraFolderViewTest\\Dir", c.Mode),
                  ViewFolder(k32BitProcess ? c.OnI686 : c.OnWin64));
    }
    UseRegistry64View = saved;
}

class RegistryFolderValues : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(
            RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr),
            ERROR_SUCCESS);
        folder_ = TempFolder(false);
        file_ = TempFolder(true) + "velmora_registry_folder.exe";
        HANDLE h = CreateFileA(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        CloseHandle(h);
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, (std::string(kKey) + "\\Sub").c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        DeleteFileA(file_.c_str());
    }
    void Set(const char* name, const std::string& data)
    {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>(data.size() + 1)),
                  ERROR_SUCCESS);
    }
    static constexpr const char* kKey = "Software\\VelmoraRegistryFolderTest";
    HKEY key_ = nullptr;
    std::string folder_, file_;
};

TEST_F(RegistryFolderValues, KeyValueAndFile)
{
    const std::string path = std::string("HKEY_CURRENT_USER\\") + kKey;
    Set("", folder_);
    Set("Program", file_);
    Set("Missing", "C:\\velmora_missing\\x.exe");
    EXPECT_EQ(RegistryFolder(path, 1), folder_);
    // No key "Program": the value of that name below the key before it, a file
    // whose folder is returned.
    EXPECT_EQ(RegistryFolder(path + "\\Program", 1), folder_);
    EXPECT_EQ(RegistryFolder(path + "\\Missing", 1), "C:\\velmora_missing\\x.exe");
    EXPECT_EQ(RegistryFolder(path + "\\Nothing", 3), "");
}

// Runtime slots of the process, resolved once, and the not-found message that
// start-up installs.
TEST(RuntimeFolderSlots, ResolvedOnceWithTheMessage)
{
    TwoViewKey key("Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\velmora_slot_test.exe");
    ASSERT_TRUE(key.Set(k32BitProcess ? KEY_WOW64_32KEY : KEY_WOW64_64KEY, "", "C:\\VelmoraSlot\\t.exe"));
    ProcessRuntimeFolders().SetDescriptor(2, "|1|velmora_slot_test.exe|");
    std::string notFound = "|1|velmora_no_such_tool.exe|";
    for (int item = 2; item < kRtShowNotFound; ++item) notFound += "|";
    ProcessRuntimeFolders().SetDescriptor(7, notFound + "1|");

    std::vector<TMsgBoxRequest> boxes;
    SetMsgBoxHook([&boxes](const TMsgBoxRequest& r) {
        boxes.push_back(r);
        return 1;
    });
    InstallFolderMessages();
    EXPECT_EQ(RuntimeFolder(2), "C:\\VelmoraSlot");
    EXPECT_EQ(RuntimeFolder(7), "");
    EXPECT_EQ(RuntimeFolder(7), "");
    EXPECT_EQ(RuntimeFolder(1), "");
    SetMsgBoxHook(nullptr);
    SetRuntimeFolderNotFoundAction(nullptr);

    ASSERT_EQ(boxes.size(), 1u);  // once: the empty result is kept
    EXPECT_NE(boxes[0].Text.find("RunTimeDir (velmora_no_such_tool.exe)<P><P>Not Found!"), std::string::npos);
    EXPECT_EQ(boxes[0].OwnerCode, 0);
    EXPECT_EQ(boxes[0].Caption, "Error");
    EXPECT_EQ(boxes[0].Charset, 0);

    // The macro reaches the same slot.
    EXPECT_EQ(ExpandMacros("<RunTimeDir_2>\\t.exe", "\\", false, true, false), "C:\\VelmoraSlot\\t.exe");
    ProcessRuntimeFolders().SetDescriptor(2, "");
    ProcessRuntimeFolders().SetDescriptor(7, "");
}

std::string Expand(const std::string& text)
{
    return ExpandMacros(text, "\\", true, true, true);
}

TEST(MacrosOnWindows, RealFoldersAndNames)
{
    EXPECT_EQ(Expand("<WinDir>\\x.txt"), WindowsFolder(true) + "x.txt");
    EXPECT_EQ(Expand("<WinSysDir>x.dll"), SystemFolder(true) + "x.dll");
    EXPECT_EQ(Expand("<TempDir>"), TempFolder(false));
    EXPECT_EQ(Expand("<SrcDir>\\a"), ProgramFolder(true) + "a");
    EXPECT_EQ(Expand("<UserAppDataDir>\\Vendor"), ShellGetFolderPath(kCsidlAppDataCreate) + "\\Vendor");
    EXPECT_EQ(Expand("<UserDesktopDir>\\app.lnk"), ShellSpecialFolder(kCsidlDesktopDirectory) + "\\app.lnk");
    EXPECT_EQ(Expand("<AllUsersDir>"), ShellFolder(TShellFolder::AllUsers, false));
    EXPECT_EQ(Expand("<FontDir>"), FontFolder(false));
    EXPECT_EQ(Expand("<ProgramFilesDir>\\App"),
              SetTrailingBackslash(ReadRegistryString("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                                      "ProgramFilesDir", "", false),
                                   true) +
                  "App");
    EXPECT_EQ(Expand("<WinDrive>"), WindowsFolder(false).substr(0, 3));
    EXPECT_EQ(Expand("<ComputerName>"), ComputerName());
    EXPECT_EQ(Expand("<LoggedUserName>"), LoggedUserName());
    EXPECT_EQ(Expand("<OriginDir>"), ProgramFolder(false));  // no "/OriginExe=" here

    char current[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, current);
    EXPECT_EQ(Expand("..\\velmora_x"), Parent(current) + "\\velmora_x");
}

TEST(MacrosOnWindows, DateInTheUserLocale)
{
    SYSTEMTIME before, after;
    std::string text;
    do {  // the same second on both sides of the expansion
        GetLocalTime(&before);
        text = Expand("<Date=7>|<Date=#>");
        GetLocalTime(&after);
    } while (before.wSecond != after.wSecond);
    char expected[64];
    char timeSep[8] = {}, dateSep[8] = {}, month[80] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, timeSep, sizeof timeSep);
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, dateSep, sizeof dateSep);
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SMONTHNAME1 + before.wMonth - 1, month, sizeof month);
    snprintf(expected, sizeof expected, "%04d-%02d-%02d %02d%c%02d%c%02d", before.wYear, before.wMonth,
             before.wDay, before.wHour, timeSep[0], before.wMinute, timeSep[0], before.wSecond);
    // Only the first date macro is expanded.
    EXPECT_EQ(text, std::string(expected) + "|<Date=#>");
    snprintf(expected, sizeof expected, "%02d%c%s%c%04d", before.wDay, dateSep[0], month, dateSep[0],
             before.wYear);
    EXPECT_EQ(Expand("<Date=#>"), expected);
}

}  // namespace
