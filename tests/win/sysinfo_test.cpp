#include "base/system_error.h"
#include "base/paths.h"
#include "lang/sysinfo.h"
#include "lang/window_info_win.h"
#include "stub/version.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

const char* const TestKey = "Software\\VelmoraSysinfoTest";

class RegistryRead : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                                  nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override
    {
        RegCloseKey(key_);
        RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);
    }
    void Set(const char* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(RegSetValueExA(key_, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    HKEY key_ = nullptr;
};

TEST_F(RegistryRead, ValueTypes)
{
    Set("Text", REG_SZ, "hello", 6);
    Set("NoZero", REG_SZ, "abc", 3);  // stored without its terminating zero
    const DWORD big = 0xFFFFFFFF;
    Set("Big", REG_DWORD, &big, 4);
    Set("Multi", REG_MULTI_SZ, "a\0b\0\0", 5);
    Set("Binary", REG_BINARY, "xy\0z", 4);
    Set("", REG_SZ, "default value", 14);
    const std::string path = std::string("HKEY_CURRENT_USER\\") + TestKey;

    EXPECT_EQ(ReadRegistryString(path, "Text", "def", false), "hello");
    EXPECT_EQ(ReadRegistryString(path, "NoZero", "def", false), "abc");
    EXPECT_EQ(ReadRegistryString(path, "Big", "def", false), "4294967295");
    EXPECT_EQ(ReadRegistryString(path, "Multi", "def", false), "a<0>b");
    EXPECT_EQ(ReadRegistryString(path, "Binary", "def", false), "xy");
    EXPECT_EQ(ReadRegistryString(path, "", "def", false), "default value");
    EXPECT_EQ(ReadRegistryString(path, "Missing", "def", false), "def");
    EXPECT_EQ(ReadRegistryString(path + "\\NoSuchKey", "Text", "def", false), "def");
    EXPECT_EQ(ReadRegistryString(path, "Text", "def", true), "hello");
}

TEST_F(RegistryRead, PathForms)
{
    Set("Text", REG_SZ, "v", 2);
    EXPECT_EQ(ReadRegistryString(std::string("hkcu\\") + TestKey, "Text", "", false), "v");
    EXPECT_EQ(ReadRegistryString(TestKey, "Text", "", false), "v");  // no root: below HKCU
    EXPECT_EQ(ReadRegistryString(std::string(" HKCU\\") + TestKey + " ", "Text", "", false), "v");

    // A bare root name reads from the root key itself.
    const char* rootValue = "VelmoraSysinfoRootValue";
    ASSERT_EQ(
        RegSetValueExA(HKEY_CURRENT_USER, rootValue, 0, REG_SZ, reinterpret_cast<const BYTE*>("root"), 5),
        ERROR_SUCCESS);
    EXPECT_EQ(ReadRegistryString("HKCU", rootValue, "", false), "root");
    EXPECT_EQ(ReadRegistryString("hkey_current_user", rootValue, "", false), "root");
    RegDeleteValueA(HKEY_CURRENT_USER, rootValue);
}

TEST_F(RegistryRead, OversizedValueGivesDefault)
{
    const std::string huge(20000, 'x');
    Set("Huge", REG_SZ, huge.c_str(), static_cast<DWORD>(huge.size() + 1));
    EXPECT_EQ(ReadRegistryString(std::string("HKCU\\") + TestKey, "Huge", "def", false), "def");
}

TEST(WindowsVersionKey, NamesTheNtKey)
{
    EXPECT_EQ(WindowsVersionKey(), "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion");
    EXPECT_NE(ReadRegistryString(WindowsVersionKey(), "CurrentVersion", "", IsWindows64()), "");
}

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        file_ = TempFolder(true) + "velmora_sysinfo_test.ini";
        DeleteFileA(file_.c_str());
    }
    void TearDown() override { DeleteFileA(file_.c_str()); }
    std::string Content() const
    {
        std::ifstream in(file_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string file_;
};

TEST_F(IniFile, WriteAndReadBack)
{
    EXPECT_TRUE(WriteIniString(file_, "Agent", "Name", "value with spaces"));
    EXPECT_TRUE(WriteIniInt(file_, "Agent", "Big", -9000000000LL));
    EXPECT_EQ(ReadIniString(file_, "agent", "NAME", "def"), "value with spaces");
    EXPECT_EQ(ReadIniInt(file_, "Agent", "Big", 7), -9000000000LL);
    EXPECT_EQ(ReadIniString(file_, "Agent", "Missing", "def"), "def");
    EXPECT_EQ(ReadIniString(file_, "Other", "Name", "def"), "def");
}

TEST_F(IniFile, EmptyValuesAndBadInput)
{
    EXPECT_TRUE(WriteIniString(file_, "S", "Empty", ""));
    EXPECT_NE(Content().find("Empty="), std::string::npos);  // written, not deleted
    EXPECT_EQ(ReadIniString(file_, "S", "Empty", "def"), "def");

    EXPECT_TRUE(WriteIniString(file_, "S", "Word", "12x"));
    EXPECT_EQ(ReadIniInt(file_, "S", "Word", 5), 5);
    EXPECT_TRUE(WriteIniString(file_, "S", "Huge", "99999999999999999999"));
    EXPECT_EQ(ReadIniInt(file_, "S", "Huge", 5), 5);

    EXPECT_FALSE(WriteIniString(file_, "", "K", "v"));
    EXPECT_FALSE(WriteIniString(file_, "S", "", "v"));
    EXPECT_FALSE(WriteIniString("", "S", "K", "v"));
    EXPECT_EQ(ReadIniString(file_, "", "K", "def"), "def");
    EXPECT_EQ(ReadIniString(file_, "S", "", "def"), "def");
}

TEST(Names, MatchTheSystem)
{
    char buf[256];
    DWORD size = sizeof(buf);
    ASSERT_TRUE(GetUserNameA(buf, &size));
    EXPECT_EQ(LoggedUserName(), buf);
    size = sizeof(buf);
    ASSERT_TRUE(GetComputerNameA(buf, &size));
    EXPECT_EQ(ComputerName(), buf);
    const std::string owner = ReadRegistryString(WindowsVersionKey(), "RegisteredOwner", "\x01", true);
    EXPECT_EQ(RegisteredOwner(), owner == "\x01" ? LoggedUserName() : owner);
    const std::string org = ReadRegistryString(WindowsVersionKey(), "RegisteredOrganization", "", true);
    EXPECT_EQ(RegisteredOrganization(), org);
    EXPECT_FALSE(CurrentDomainName().empty());
}

TEST(ExeVersion, FromLauncherResource)
{
    const std::string launcher = ProgramFolder(true) + "launcher.exe";
    if (GetFileAttributesA(launcher.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "launcher.exe not built";
    EXPECT_EQ(GetExeVersion(launcher, 1, 4), VEL_VERSION_TEXT);
    EXPECT_EQ(GetExeVersion(launcher, 3, 2), FormatVersionText(VEL_VERSION_TEXT, 3, 2));
}

TEST(ExeVersion, MissingResourceOrFileGivesEmpty)
{
    EXPECT_EQ(GetExeVersion("C:\\no\\such\\file.exe", 1, 4), "");
    EXPECT_EQ(GetExeVersion("", 1, 4), "");  // the test program carries no version resource
}

TEST(Folders, AgreeWithTheSystem)
{
    char buf[MAX_PATH];
    GetSystemDirectoryA(buf, MAX_PATH);
    EXPECT_EQ(SystemFolder(true), std::string(buf) + "\\");
    EXPECT_EQ(SystemFolder(false), buf);
    GetWindowsDirectoryA(buf, MAX_PATH);
    EXPECT_EQ(WindowsFolder(false), buf);
    EXPECT_EQ(TempFolder(true).back(), '\\');
    EXPECT_NE(TempFolder(false).back(), '\\');
    EXPECT_EQ(ProgramFolder(true) + ProgramBaseName() + ".exe", ProgramPath());
    EXPECT_EQ(ProgramBaseName(), "win_tests");
}

TEST(OsVersion, ConsistentWithGetVersionEx)
{
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof(vi);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(GetVersionExA(&vi));
#pragma GCC diagnostic pop
    EXPECT_TRUE(IsWindowsNT());
#ifdef _WIN64
    const bool windows64 = true;  // a 64-bit process runs on 64-bit Windows only
#else
    BOOL wow = FALSE;  // a 32-bit process: 64-bit Windows runs it under WOW64
    const bool windows64 = IsWow64Process(GetCurrentProcess(), &wow) && wow;
#endif
    EXPECT_EQ(IsWindows64(), windows64);
    const TOsInfo info = GetOsInfo();
    const TOsInfo expected =
        OsInfoFromVersion(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber,
                          vi.szCSDVersion, windows64, IsServerWindows());
    EXPECT_EQ(info.Name, expected.Name);
    EXPECT_EQ(info.Code, expected.Code);
    EXPECT_EQ(GetOsCode(), info.Code);
    EXPECT_FALSE(info.Name.empty());
    EXPECT_EQ(IsWindowsXP(), info.VersionText == "5.1");
    EXPECT_EQ(IsWindows8OrLater(), IsVersion8OrLater(2, info.VersionText));
}

TEST(Diagnostics, LastErrorTextAndWorkArea)
{
    SetLastError(ERROR_FILE_NOT_FOUND);
    const std::string text = LastErrorText();
    EXPECT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');

    RECT r;
    ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0));
    int x = 0, y = 0;
    CenterInWorkArea(492, 110, x, y);
    EXPECT_EQ(x, r.left + (r.right - r.left - 492) / 2);
    EXPECT_EQ(y, r.top + (r.bottom - r.top - 110) / 2);
}

TEST(WindowInfo, OwnerClassAndText)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelmoraSysinfoTestClass";
    RegisterClassA(&wc);
    HWND owner = CreateWindowExA(0, wc.lpszClassName, "Owner title", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, wc.hInstance, nullptr);
    HWND owned = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, owner, nullptr,
                                 wc.hInstance, nullptr);
    ASSERT_TRUE(owner && owned);
    EXPECT_EQ(TopLevelOwner(owned), owner);
    EXPECT_EQ(TopLevelOwner(owner), owner);
    EXPECT_EQ(WindowClassText(owned), "VelmoraSysinfoTestClass");
    EXPECT_EQ(WindowTextOf(owner), "Owner title");
    EXPECT_EQ(WindowClassText(nullptr), "");
    EXPECT_EQ(WindowTextOf(nullptr), "");
    DestroyWindow(owned);
    DestroyWindow(owner);
}

TEST(Diagnostics, DeveloperSwitchIsOffWithoutVariable)
{
    // The answer is cached for the process; the test environment does not set DVX.
    if (GetEnvironmentVariableA("DVX", nullptr, 0) == 0) {
        EXPECT_FALSE(DeveloperDiagnostics());
    }
}

}  // namespace
