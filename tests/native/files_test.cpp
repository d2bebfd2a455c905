#include "package/files.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ReadFileToString, OffsetsAndLimits)
{
    TTempFolder dir;
    std::string file = dir / "data.bin";
    TTempFolder::Write(file, std::string("0123456789\0AB", 13));

    struct Case {
        int64_t MaxLen, Offset;
        std::string Expected;
    };
    const Case cases[] = {
        {0, 0, std::string("0123456789\0AB", 13)},
        {4, 0, "0123"},
        {0, 10, std::string("\0AB", 3)},
        {2, 11, "AB"},
        {100, 11, "AB"},
        {0, 13, ""},  // offset equal to the size
        {0, 50, ""},
        {0, -1, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadFileToString(file, c.MaxLen, c.Offset), c.Expected)
            << "maxLen " << c.MaxLen << " offset " << c.Offset;
    EXPECT_EQ(ReadFileToString(dir / "missing.bin"), "");
    EXPECT_EQ(ReadFileToString(dir.Path()), "");
}

TEST(SaveFile, CreateTruncateAndAppend)
{
    TTempFolder dir;
    std::string file = dir / "out.txt";
    ASSERT_TRUE(SaveFile(file, "first-long-content", 0, false));
    ASSERT_TRUE(SaveFile(file, "new", 0, false));
    EXPECT_EQ(TTempFolder::Read(file), "new");
    ASSERT_TRUE(SaveFile(file, "+more", 0, true));
    EXPECT_EQ(TTempFolder::Read(file), "new+more");
    ASSERT_TRUE(SaveFile(dir / "fresh.txt", "x", 0, true));  // append creates
    EXPECT_EQ(TTempFolder::Read(dir / "fresh.txt"), "x");
    ASSERT_TRUE(SaveFile(dir / "empty.txt", "", 0, false));
    EXPECT_TRUE(FileExists(dir / "empty.txt"));
    EXPECT_EQ(FileSizeByName(dir / "empty.txt"), 0);
    EXPECT_FALSE(SaveFile(dir / "no/such/folder.txt", "x", 0, false));
}

TEST(SaveFile, ChunkSizes)
{
    struct Case {
        std::size_t Length, Chunk;
    };
    const Case cases[] = {
        {0, 0},        {500, 500},      {1024, 1024},          {10240, 1024},
        {10241, 1024}, {100000, 10000}, {5 * 1048576, 524288}, {50 * 1048576, 1048576},
    };
    for (const Case& c : cases) EXPECT_EQ(SaveFileChunkSize(c.Length), c.Chunk) << c.Length;
}

TEST(SaveFile, ProgressSeesEveryChunkAndCanCancel)
{
    TTempFolder dir;
    std::string data(100000, 'z');
    std::vector<std::pair<bool, uint64_t>> calls;
    ASSERT_TRUE(SaveFile(dir / "p.bin", data, 0, false, [&](bool start, uint64_t v) {
        calls.emplace_back(start, v);
        return true;
    }));
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls[0], std::make_pair(true, uint64_t{100000}));
    EXPECT_EQ(calls[1], std::make_pair(false, uint64_t{10000}));
    EXPECT_EQ(calls[10], std::make_pair(false, uint64_t{100000}));
    EXPECT_EQ(TTempFolder::Read(dir / "p.bin"), data);

    int steps = 0;
    EXPECT_FALSE(
        SaveFile(dir / "c.bin", data, 0, false, [&](bool start, uint64_t) { return start || ++steps < 3; }));
    EXPECT_EQ(FileSizeByName(dir / "c.bin"), 30000);
}

TEST(SaveFile, LargeDataWithoutProgressIsComplete)
{
    TTempFolder dir;
    std::string data(3 * 1048576 + 17, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 4096);
    ASSERT_TRUE(SaveFile(dir / "big.bin", data, 0, false));
    EXPECT_EQ(TTempFolder::Read(dir / "big.bin"), data);
}

TEST(AppendTextToFile, AppendsAndCreates)
{
    TTempFolder dir;
    std::string file = dir / "log.txt";
    ASSERT_TRUE(AppendTextToFile(file, "a\r\n", 0));
    ASSERT_TRUE(AppendTextToFile(file, "b\r\n", 0));
    EXPECT_EQ(TTempFolder::Read(file), "a\r\nb\r\n");
}

TEST(TFile, SeeksAndSizesPast4GiBOffsets)
{
    TTempFolder dir;
    std::string file = dir / "seek.bin";
    TTempFolder::Write(file, "abcdef");
    TFile f(file, TFile::fmReadShared);
    ASSERT_TRUE(f.IsOpen());
    EXPECT_EQ(FileSize64(f), 6);
    EXPECT_EQ(SeekFile64(f, soEnd, -2), 4);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'e');
    EXPECT_EQ(SeekFile64(f, soCurrent, -3), 2);
    // A position beyond 4 GiB is kept in full, not cut to 32 bits.
    EXPECT_EQ(SeekFile64(f, soBegin, int64_t{5} << 30), int64_t{5} << 30);
    EXPECT_EQ(f.Read(&c, 1), 0u);
    EXPECT_FALSE(TFile(dir / "missing", TFile::fmReadShared).IsOpen());
}

TEST(Folders, ForceDirectoriesMakesEveryParent)
{
    TTempFolder dir;
#ifdef _WIN32
    std::string deep = dir.Path() + "\\a\\b\\c\\";
#else
    std::string deep = dir.Path() + "/a\\b/c/";
#endif
    EXPECT_TRUE(ForceDirectories(deep));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(ForceDirectories(deep));  // already there
    TTempFolder::Write(dir / "file", "x");
    EXPECT_FALSE(ForceDirectories(dir / "file"));
    EXPECT_FALSE(DirectoryExists(dir / "file"));
    EXPECT_TRUE(FileExists(dir / "file"));
    EXPECT_FALSE(FileExists(dir.Path()));
}

TEST(DriveRootOf, Table)
{
    struct Case {
        const char* Path;
        bool Force;
        const char* Root;
    };
    const Case cases[] = {
        {"c:\\Program Files\\App\\x.exe", true, "C:\\"},
        {"d", false, "D:\\"},
        {"e:", false, "E:\\"},
        {"C:\\dir", false, "C:\\dir"},
        {"C:/a/b/c/d", false, "C:\\a\\b\\c"},
        {"\\\\server\\share\\dir\\file", false, "\\\\server\\share"},
        {"\\\\server\\share", false, "\\\\server\\share"},
        {"", false, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(DriveRootOf(c.Path, c.Force), c.Root) << c.Path;
}

TEST(DiskFree, RealFolderHasSpaceMissingDriveHasNone)
{
    TTempFolder dir;
    EXPECT_GT(DiskFree(dir.Path()), 0.0);
#ifdef _WIN32
    EXPECT_EQ(DiskFree("Q:\\nothing\\here"), 0.0);
#endif
}

}  // namespace
