// System information: Windows version, registry and ini access, user and
// machine names, file versions, standard folders, number conversions and
// text scrambling.
//
// Pure parts (tables, conversions, formatting) build everywhere; functions
// that ask the system are defined in the *_win.cpp files only.
#pragma once

#include <cstdint>
#include <string>

// ---------------------------------------------------------------- versions

// GetVersionEx platform ids.
constexpr uint32_t OsPlatformWin32s = 0;
constexpr uint32_t OsPlatform9x = 1;
constexpr uint32_t OsPlatformNT = 2;

// One bit per Windows version (codes 1 and 8 each name two versions).
constexpr uint32_t OsCode32S = 0;
constexpr uint32_t OsCode95 = 1;
constexpr uint32_t OsCode98 = 2;
constexpr uint32_t OsCodeME = 4;
constexpr uint32_t OsCode9x = 1;
constexpr uint32_t OsCodeNT = 8;
constexpr uint32_t OsCode2000 = 16;
constexpr uint32_t OsCodeXP = 32;
constexpr uint32_t OsCode2003 = 64;
constexpr uint32_t OsCodeVista = 128;
constexpr uint32_t OsCodeXP64 = 256;
constexpr uint32_t OsCodeVista64 = 512;
constexpr uint32_t OsCode7 = 1024;
constexpr uint32_t OsCode764 = 2048;
constexpr uint32_t OsCode2008 = 4096;
constexpr uint32_t OsCode200864 = 8192;
constexpr uint32_t OsCode2008R264 = 0x4000;
constexpr uint32_t OsCode8 = 0x8000;
constexpr uint32_t OsCode864 = 0x10000;
constexpr uint32_t OsCode201264 = 0x20000;
constexpr uint32_t OsCode81 = 0x40000;
constexpr uint32_t OsCode8164 = 0x80000;
constexpr uint32_t OsCode2012R264 = 0x100000;

struct TOsInfo {
    std::string VersionText;  // "major.minor"
    std::string Name;         // "XP", "7.64", "2008R2.64", ...
    std::string ServicePack;  // trimmed CSD text
    uint32_t Build = 0;       // low 16 bits of the build field
    uint32_t Code = 0;        // one OsCode* bit
};

// The version table: name and code from what GetVersionEx reported plus the
// 64-bit and server answers (both only consulted on NT).
TOsInfo OsInfoFromVersion(uint32_t platform, uint32_t major, uint32_t minor, uint32_t build,
                          const std::string& csdText, bool windows64, bool server);

// NT and the version text, read as a decimal number, is at least 6.2.
bool IsVersion8OrLater(uint32_t platform, const std::string& versionText);

bool IsWindowsNT();
bool IsWindowsXP();  // cached
bool IsWindows8OrLater();
bool IsWindows64();  // cached
bool IsServerWindows();
TOsInfo GetOsInfo();
uint32_t GetOsCode();

// ---------------------------------------------------------------- registry

// Predefined root keys as their 32-bit values (HKEY_CLASSES_ROOT ...).
constexpr uint32_t RegRootClassesRoot = 0x80000000u;
constexpr uint32_t RegRootCurrentUser = 0x80000001u;
constexpr uint32_t RegRootLocalMachine = 0x80000002u;
constexpr uint32_t RegRootUsers = 0x80000003u;
constexpr uint32_t RegRootCurrentConfig = 0x80000005u;
constexpr uint32_t RegRootDynData = 0x80000006u;

struct TRegistryPath {
    uint32_t Root = RegRootCurrentUser;
    std::string SubKey;
};

// "HKLM", "HKEY_LOCAL_MACHINE", any case; unknown names give HKEY_CURRENT_USER.
uint32_t RegistryRootOf(const std::string& name);
// "HKCU\Software\X" -> root, "Software\X"; a path without "HK" start is below HKCU.
TRegistryPath SplitRegistryPath(const std::string& path);

// Program-wide registry view of callers that read in "the program's" view;
// false in the launcher.
extern bool UseRegistry64View;

// REG_DWORD as unsigned decimal, REG_MULTI_SZ with "<0>" between the strings,
// other types up to the first zero byte; the default on any failure.
std::string ReadRegistryString(const std::string& path, const std::string& valueName, const std::string& def,
                               bool view64);
// The Windows "CurrentVersion" key ("Windows NT" on NT).
std::string WindowsVersionKey();

// -------------------------------------------------------------- ini files

// Private-profile files. An empty value reads as the default.
std::string ReadIniString(const std::string& file, const std::string& section, const std::string& key,
                          const std::string& def);
int64_t ReadIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t def);
bool WriteIniString(const std::string& file, const std::string& section, const std::string& key,
                    const std::string& value);
bool WriteIniInt(const std::string& file, const std::string& section, const std::string& key, int64_t value);

// ------------------------------------------------------------------ names

std::string LoggedUserName();
std::string ComputerName();
std::string RegisteredOwner();
std::string RegisteredOrganization();
std::string CurrentDomainName();

// -------------------------------------------------------- files, folders

// Fixed file version of an executable ("" = the running one) as "a.b.c.d";
// with width > 1 or count < 4 reformatted by FormatVersionText.
std::string GetExeVersion(const std::string& file, int width, int count);
// The first count numbers of a dotted version text, each zero-padded to width.
std::string FormatVersionText(const std::string& version, int width, int count);

// ------------------------------------------------------ numbers and texts

// Digits 0-9, A-F (any case) from the last; -1 for another character, 0 for "".
int64_t TextToInt(const std::string& text, int base);
// Optional "0x" prefix, then base 16.
int64_t HexTextToInt(const std::string& text);
std::string HexToBytes(const std::string& text);
std::string BytesToHex(const std::string& bytes, bool spaced, bool prefixed);

// Texts marked "Scrambled=01" are XOR-scrambled with an alternating key.
std::string ScrambleText(const std::string& text, bool scramble, bool hex);
// Same with a given key (33..122) for scrambling; used by tests.
std::string ScrambleTextWithKey(const std::string& text, bool scramble, bool hex, int key);

// Environment variable "DVX" is exactly "739"; cached.
bool DeveloperDiagnostics();

// Top-left corner that centres a width x height box in a rectangle.
void CenterInRect(int left, int top, int right, int bottom, int width, int height, int& x, int& y);
// The same for the desktop work area.
void CenterInWorkArea(int width, int height, int& x, int& y);
