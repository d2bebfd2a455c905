#include "lang/sysinfo.h"

#include <gtest/gtest.h>

namespace {

struct OsCase {
    uint32_t Platform, Major, Minor, Build;
    bool Is64, Server;
    const char* Version;
    const char* Name;
    uint32_t Code;
};

TEST(OsInfoFromVersion, NamesAndCodesOfTheTable)
{
    const OsCase cases[] = {
        {0, 3, 10, 0, false, false, "3.10", "32S", 0},
        {1, 4, 0, 950, false, false, "4.0", "95", 1},
        {1, 4, 10, 1998, false, false, "4.10", "98", 2},
        {1, 4, 10, 3000, false, false, "4.90", "ME", 4},  // ME reports 4.10 build 3000
        {1, 4, 90, 3000, false, false, "4.90", "ME", 4},
        {1, 4, 20, 0, false, false, "4.20", "9x", 1},
        {2, 4, 0, 1381, false, false, "4.0", "NT", 8},
        {2, 5, 0, 2195, false, false, "5.0", "2000", 16},
        {2, 5, 1, 2600, false, false, "5.1", "XP", 32},
        {2, 5, 2, 3790, false, false, "5.2", "2003", 64},
        {2, 5, 2, 3790, true, false, "5.2", "XP.64", 256},
        {2, 6, 0, 6000, false, false, "6.0", "Vista", 128},
        {2, 6, 0, 6000, true, false, "6.0", "Vista.64", 512},
        {2, 6, 0, 6001, false, true, "6.0", "2008", 4096},
        {2, 6, 0, 6001, true, true, "6.0", "2008.64", 8192},
        {2, 6, 1, 7601, false, false, "6.1", "7", 1024},
        {2, 6, 1, 7601, true, false, "6.1", "7.64", 2048},
        {2, 6, 1, 7601, false, true, "6.1", "7", 1024},  // 32-bit server: only 6.0 changes
        {2, 6, 1, 7601, true, true, "6.1", "2008R2.64", 0x4000},
        {2, 6, 2, 9200, false, false, "6.2", "8", 0x8000},
        {2, 6, 2, 9200, true, false, "6.2", "8.64", 0x10000},
        {2, 6, 2, 9200, true, true, "6.2", "2012.64", 0x20000},
        {2, 6, 3, 9600, false, false, "6.3", "8.1", 0x40000},
        {2, 6, 3, 9600, true, false, "6.3", "8.1.64", 0x80000},
        {2, 6, 3, 9600, true, true, "6.3", "2012R2.64", 0x100000},
        {2, 10, 0, 19045, true, false, "10.0", "NTx", 8},
        {2, 5, 1, 2600, true, true, "5.1", "XP", 32},  // no 64-bit or server row for 5.1
        {3, 10, 0, 0, false, false, "10.0", "", 0},
    };
    for (const OsCase& c : cases) {
        const TOsInfo info = OsInfoFromVersion(c.Platform, c.Major, c.Minor, c.Build, "", c.Is64, c.Server);
        SCOPED_TRACE(std::string(c.Version) + " " + c.Name);
        EXPECT_EQ(info.VersionText, c.Version);
        EXPECT_EQ(info.Name, c.Name);
        EXPECT_EQ(info.Code, c.Code);
    }
}

TEST(OsInfoFromVersion, ServicePackTrimmedAndBuildLowWord)
{
    const TOsInfo info = OsInfoFromVersion(2, 5, 1, 0x04000A28, "  Service Pack 3 ", false, false);
    EXPECT_EQ(info.ServicePack, "Service Pack 3");
    EXPECT_EQ(info.Build, 0x0A28u);
}

TEST(IsVersion8OrLater, DecimalComparison)
{
    EXPECT_FALSE(IsVersion8OrLater(2, "6.1"));
    EXPECT_TRUE(IsVersion8OrLater(2, "6.2"));
    EXPECT_TRUE(IsVersion8OrLater(2, "6.3"));
    EXPECT_TRUE(IsVersion8OrLater(2, "10.0"));
    EXPECT_FALSE(IsVersion8OrLater(1, "6.2"));
    EXPECT_FALSE(IsVersion8OrLater(2, ""));
}

TEST(SplitRegistryPath, RootsAndSubKeys)
{
    struct {
        const char* path;
        uint32_t root;
        const char* sub;
    } cases[] = {
        {"HKLM", RegRootLocalMachine, ""},
        {"hklm\\Software\\A", RegRootLocalMachine, "Software\\A"},
        {"  HKEY_CLASSES_ROOT\\.txt ", RegRootClassesRoot, ".txt"},
        {"HKCU\\X", RegRootCurrentUser, "X"},
        {"HKU\\.DEFAULT", RegRootUsers, ".DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\S", RegRootCurrentConfig, "S"},
        {"hkdd\\S", RegRootDynData, "S"},
        {"HKXX\\S", RegRootCurrentUser, "S"},  // unknown root name
        {"Software\\Tarnwick", RegRootCurrentUser, "Software\\Tarnwick"},
        {"", RegRootCurrentUser, ""},
    };
    for (const auto& c : cases) {
        const TRegistryPath p = SplitRegistryPath(c.path);
        EXPECT_EQ(p.Root, c.root) << c.path;
        EXPECT_EQ(p.SubKey, c.sub) << c.path;
    }
}

TEST(FormatVersionText, WidthAndCount)
{
    EXPECT_EQ(FormatVersionText("1.2.3.4", 3, 2), "001.002");
    EXPECT_EQ(FormatVersionText("1.2.3.4", 1, 4), "1.2.3.4");
    EXPECT_EQ(FormatVersionText("1, 2, 3", 2, 4), "01.02.03.00");
    EXPECT_EQ(FormatVersionText("10.20.3000.4", 2, 3), "10.20.3000");
    EXPECT_EQ(FormatVersionText("", 1, 2), "0.0");
}

TEST(TextToInt, Bases)
{
    EXPECT_EQ(TextToInt("1F", 16), 31);
    EXPECT_EQ(TextToInt(" 1f ", 16), 31);
    EXPECT_EQ(TextToInt("1G", 16), -1);
    EXPECT_EQ(TextToInt("", 16), 0);
    EXPECT_EQ(TextToInt("101", 2), 5);
    EXPECT_EQ(TextToInt("19", 8), 17);  // digit not below the base is used all the same
    EXPECT_EQ(TextToInt("-5", 10), -1);
    EXPECT_EQ(TextToInt("7FFFFFFFFFFFFFFF", 16), INT64_MAX);
    EXPECT_EQ(HexTextToInt("0x1F"), 31);
    EXPECT_EQ(HexTextToInt("0X1f"), 31);
    EXPECT_EQ(HexTextToInt("1f"), 31);
    EXPECT_EQ(HexTextToInt("0xG"), -1);
}

TEST(HexBytes, RoundTripAndFormats)
{
    const std::string bytes("\x00\x1F\xAB\xFF", 4);
    EXPECT_EQ(BytesToHex(bytes, false, false), "001FABFF");
    EXPECT_EQ(BytesToHex(bytes, false, true), "0x000x1F0xAB0xFF");
    EXPECT_EQ(HexToBytes("001fabff"), bytes);
    EXPECT_EQ(HexToBytes("001FABFF7"), bytes);  // last single character ignored
    EXPECT_EQ(BytesToHex(std::string(9, 'A'), true, false), "41 41 41 41 41 41 41 41  41 ");
}

TEST(ScrambleText, KnownKeystream)
{
    // Key 40: byte 1 ^ 41, byte 2 ^ (2 - 40) & 255 = 218, byte 3 ^ 43.
    const std::string scrambled = ScrambleTextWithKey("abc", true, false, 40);
    const std::string expected =
        std::string("Scrambled=01(") + char('a' ^ 41) + char('b' ^ 218) + char('c' ^ 43);
    EXPECT_EQ(scrambled, expected);
    EXPECT_EQ(ScrambleText(scrambled, false, false), "abc");
}

TEST(ScrambleText, RoundTripsAndUnchangedCases)
{
    std::string all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    for (int k : {33, 77, 122}) {
        EXPECT_EQ(ScrambleText(ScrambleTextWithKey(all, true, false, k), false, false), all);
        const std::string hex = ScrambleTextWithKey(all, true, true, k);
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_EQ(ScrambleText(hex, false, true), all);
    }
    EXPECT_EQ(ScrambleText(ScrambleText("token text", true, false), false, false), "token text");
    EXPECT_EQ(ScrambleText("plain text", false, false), "plain text");
    EXPECT_EQ(ScrambleText("", true, false), "");
    const std::string marked = ScrambleTextWithKey("x", true, false, 50);
    EXPECT_EQ(ScrambleText(marked, true, false), marked);  // already scrambled
    EXPECT_EQ(ScrambleText("Scrambled=01", false, false), "");
}

TEST(CenterInRect, TruncatesTowardZero)
{
    int x = 0, y = 0;
    CenterInRect(0, 0, 1024, 738, 492, 110, x, y);
    EXPECT_EQ(x, 266);
    EXPECT_EQ(y, 314);
    CenterInRect(10, 20, 100, 50, 200, 41, x, y);
    EXPECT_EQ(x, 10 + (-110) / 2);  // -55
    EXPECT_EQ(y, 20 + (-11) / 2);   // -5, not -6
}

}  // namespace
