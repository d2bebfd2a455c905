#include "pkgtool/package_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "package/lang_id.h"
#include "package/lang_select.h"
#include "base/lists.h"
#include "package/pack_file.h"
#include "pkgtool/pack_project.h"
#include "pkgtool/package_inspect.h"
#include "package/token.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteAll(const std::string& path, const std::string& data)
{
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Bytes that do not compress.
std::string Noise(size_t n, uint32_t seed)
{
    std::mt19937 random(seed);
    std::string data(n, '\0');
    for (char& c : data) c = static_cast<char>(random() & 0xFF);
    return data;
}

// Every record of one volume, inflated: (name item, time item, data).
struct TEntry {
    std::string Name, Time, Data;
};

std::vector<TEntry> ReadEntries(const std::string& path, int64_t start)
{
    const std::string data = ReadAll(path);
    std::vector<TEntry> entries;
    size_t pos = static_cast<size_t>(start);
    while (data.size() - pos > kPackTrailerSize) {
        const int32_t length =
            static_cast<int32_t>(GetU32LE(reinterpret_cast<const unsigned char*>(&data[pos])));
        pos += 4;
        std::string entry;
        if (length < 0) {
            entry = data.substr(pos, static_cast<size_t>(-length));
            pos += static_cast<size_t>(-length);
        } else if (length > 0) {
            uLongf size = 64u << 20;
            entry.resize(size);
            EXPECT_EQ(uncompress(reinterpret_cast<Bytef*>(entry.data()), &size,
                                 reinterpret_cast<const Bytef*>(&data[pos]), static_cast<uLong>(length)),
                      Z_OK);
            entry.resize(size);
            pos += static_cast<size_t>(length);
        }
        const size_t nul = entry.find('\0');
        EXPECT_NE(nul, std::string::npos);
        const std::string header = entry.substr(0, nul);
        EXPECT_EQ(ListCount(header), 2) << header;
        entries.push_back({ListItem(header, 0), ListItem(header, 1), entry.substr(nul + 1)});
    }
    EXPECT_EQ(pos, data.size() - kPackTrailerSize);
    return entries;
}

class PackageWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLanguageCache();
        SetUserThreadLocale(0x41F);  // Turkish
        dir_ = fs::temp_directory_path() /
               ("vel_writer_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        ResetLanguageCache();
        ResetUserThreadLocale();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    TPackOptions Sample() const
    {
        TPackOptions o;
        o.Image = StubImage();
        o.Languages = {{"English", {{"s1", "Extracting"}, {"Charset", "0"}}},
                       {"Turkish",
                        {{"s1", "Cikariliyor"},
                         {"s10", "Indiriliyor"},
                         {"Charset", "162"},
                         {"FontSize", "9"},
                         {"FontName", "Arial"},
                         {"s6", ""}}}};
        o.Agent = {"http://u/", "dir\\app.info", "agent.exe", "agent-token", true};
        o.Web = TPackWeb{"http://w/", "setup.exe", true, "web-token", 4242};
        o.Files.push_back({"", std::string(5000, 'a'), "setup.exe", true, " /S", 0x12345678u});
        o.Files.push_back({"", std::string("\x01\x02\x03", 3), "data\\b.bin", false, "", 7u});
        o.Files.push_back({"", std::string(), "empty.txt", false, "", 9u});
        o.PackFlags = kFlagShowExtractNotice | kFlagShowActivityBar | kFlagTraceLogEnabled;
        o.WebInstall = true;
        o.ConfirmDownload = true;
        o.CreateAgent = true;
        o.Seed = 99;
        return o;
    }
    fs::path dir_;
};

TEST_F(PackageWriterTest, RoundTripThroughTheReader)
{
    const std::string out = Path("setup.exe");
    std::string error;
    std::vector<std::string> volumes;
    ASSERT_TRUE(WritePackage(Sample(), out, error, &volumes)) << error;
    EXPECT_EQ(volumes, std::vector<std::string>{out});
    EXPECT_FALSE(fs::exists(out + ".tmp"));

    const std::string bytes = ReadAll(out);
    TGFileInfo info(out);
    const TPackTrailer& t = info.Trailer();
    ASSERT_TRUE(info.HasPackage());
    EXPECT_EQ(t.FormatByte, 1);
    EXPECT_EQ(t.BlockCount, 3);
    EXPECT_EQ(t.FileCount, 3u);
    EXPECT_EQ(t.TrailerSize, 74u);
    EXPECT_EQ(ReadStoredPackEnd(bytes), bytes.size());
    EXPECT_EQ(t.PackChecksum, PackChecksumOf(out, 74));
    EXPECT_NE(t.PackChecksum, kNoPackChecksum);
    EXPECT_EQ(t.SpaceTable[0], 5003u);
    EXPECT_EQ(t.SpaceTable[1], 5120u + 512);
    EXPECT_EQ(t.SpaceTable[4], 8192u + 4096);
    EXPECT_EQ(t.SpaceTable[8], 2u * 65536);
    EXPECT_TRUE(info.ShowExtractNotice());
    EXPECT_FALSE(info.HasMoreVolumes());
    EXPECT_FALSE(info.SpanCdRelaunch());
    EXPECT_TRUE(info.ShowActivityBar());
    EXPECT_TRUE(info.TraceLogEnabled());
    EXPECT_TRUE(info.WebInstall());
    EXPECT_TRUE(info.ConfirmDownload());
    EXPECT_TRUE(info.CreateAgent());
    EXPECT_FALSE(info.IsAutoUpdateProg());
    EXPECT_EQ(info.GetUpdateUrl(), "http://u/");
    EXPECT_EQ(info.GetInfoFileName(), "app.info");
    EXPECT_EQ(info.GetOriginalFileName(), "app.original");
    EXPECT_EQ(info.GetAgentExeName(), "agent.exe");
    EXPECT_EQ(info.GetAgentToken(true), "agent-token");
    EXPECT_TRUE(info.IsSilent());
    EXPECT_EQ(info.GetWebItem(0), "http://w/");
    EXPECT_EQ(info.GetWebItem(1), "setup.exe");
    EXPECT_EQ(info.GetWebItem(4), "4242");
    EXPECT_TRUE(info.IsWebAlwaysDownload());
    EXPECT_EQ(info.GetWebToken(true), "web-token");
    EXPECT_EQ(info.GetLangString("s1", "d"), "Cikariliyor");
    EXPECT_EQ(info.GetLangString("s10", "d"), "Indiriliyor");
    EXPECT_EQ(info.GetLangString("s6", "d"), "");
    EXPECT_EQ(info.GetLangString("s7", "d"), "d");
    EXPECT_EQ(info.GetLangCharset(), 162);
    EXPECT_EQ(info.GetLangFontSize(), 9);
    EXPECT_EQ(info.GetLangFontName(), "Arial");

    const std::vector<TEntry> entries = ReadEntries(out, t.DataStart);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].Name, "setup.exe* /S");
    EXPECT_EQ(entries[0].Time, std::to_string(0x12345678u));
    EXPECT_EQ(entries[0].Data, std::string(5000, 'a'));
    EXPECT_EQ(entries[1].Name, "data\\b.bin");
    EXPECT_EQ(entries[1].Data, std::string("\x01\x02\x03", 3));
    EXPECT_EQ(entries[2].Name, "empty.txt");
    EXPECT_EQ(entries[2].Data, "");
    // Compressible data is compressed, the rest stored.
    EXPECT_GT(static_cast<int32_t>(GetU32LE(reinterpret_cast<const unsigned char*>(&bytes[t.DataStart]))), 0);
}

TEST_F(PackageWriterTest, LargePackagesAndForeignImages)
{
    TPackOptions o = Sample();
    o.Image = "plain image, not a PE file";
    o.Web.reset();
    o.Files[0].Content = std::string(60000, 'z');
    const std::string out = Path("big.exe");
    std::string error;
    ASSERT_TRUE(WritePackage(o, out, error)) << error;
    TGFileInfo info(out);
    EXPECT_EQ(info.Trailer().BlockCount, 2);
    EXPECT_EQ(info.WebBlock(), "");
    EXPECT_EQ(info.Trailer().DataStart, o.Image.size() + 4 + BuildLanguageBlock(o.Languages).size() + 4 +
                                            BuildAgentBlock(o.Agent, 99).size());
    // The image is left untouched when it is not a PE image.
    EXPECT_EQ(ReadAll(out).substr(0, o.Image.size()), o.Image);

    // Over 51,200 bytes the checksum is 1234.
    o.Files[0].Content = Noise(60000, 1);
    ASSERT_TRUE(WritePackage(o, out, error)) << error;
    EXPECT_GT(fs::file_size(out), 51200u);
    EXPECT_EQ(TGFileInfo(out).Trailer().PackChecksum, kNoPackChecksum);
}

TEST_F(PackageWriterTest, RecordLimitSplitsFilesOverRecords)
{
    TPackOptions o = Sample();
    o.RecordLimit = 2000;
    const std::string out = Path("split.exe");
    std::string error;
    ASSERT_TRUE(WritePackage(o, out, error)) << error;
    TGFileInfo info(out);
    EXPECT_EQ(info.Trailer().FileCount, 5u);
    const std::vector<TEntry> e = ReadEntries(out, info.Trailer().DataStart);
    ASSERT_EQ(e.size(), 5u);
    EXPECT_EQ(e[0].Name, "setup.exe* /S");
    EXPECT_EQ(e[1].Name, "setup.exe* /S");
    EXPECT_EQ(e[2].Name, "setup.exe* /S");
    EXPECT_EQ(e[0].Data.size() + e[1].Data.size() + e[2].Data.size(), 5000u);
    EXPECT_EQ(e[2].Data.size(), 1000u);
    // The space table counts the whole file once.
    EXPECT_EQ(info.Trailer().SpaceTable[0], 5003u);
}

// Records compressed on threads come out in order: the same bytes whatever
// the thread count, over files on disk and in memory, split records and
// span volumes; every record is reported once.
TEST_F(PackageWriterTest, ThreadCountDoesNotChangeThePackage)
{
    TPackOptions o = Sample();
    for (int i = 0; i < 12; ++i) {
        const std::string data = i % 3 ? std::string(3000 + 500 * i, static_cast<char>('a' + i))
                                       : Noise(2500, static_cast<uint32_t>(i));
        if (i % 2) {
            WriteAll(Path("src" + std::to_string(i)), data);
            o.Files.push_back(
                {Path("src" + std::to_string(i)), std::nullopt, "f" + std::to_string(i), false, "", 5u});
        } else {
            o.Files.push_back({"", data, "f" + std::to_string(i), false, "", 5u});
        }
    }
    o.RecordLimit = 1500;
    o.VolumeSize = 4000;
    const auto build = [&](int jobs, int level, const std::string& name) {
        TPackOptions b = o;
        b.Jobs = jobs;
        b.Level = level;
        uint64_t reported = 0;
        b.Progress = [&](const TBuildProgress& p) {
            EXPECT_EQ(p.Records, ++reported);
            EXPECT_LE(p.Bytes, p.TotalBytes);
        };
        std::string error;
        std::vector<std::string> volumes;
        EXPECT_TRUE(WritePackage(b, Path(name), error, &volumes)) << error;
        EXPECT_EQ(reported, TGFileInfo(volumes[0]).Trailer().FileCount);
        std::vector<std::string> bytes;
        for (const std::string& v : volumes) bytes.push_back(ReadAll(v));
        return bytes;
    };
    const std::vector<std::string> one = build(1, 9, "one.exe.001");
    ASSERT_GE(one.size(), 3u);
    EXPECT_EQ(build(4, 9, "four.exe.001"), one);
    EXPECT_EQ(build(2, 9, "two.exe.001"), one);
    // Level 0 stores every record, with the same entries.
    const std::vector<std::string> stored = build(2, 0, "stored.exe.001");
    EXPECT_GT(stored[0].size() + stored[1].size(), one[0].size() + one[1].size());
    TInspectReport report;
    std::string error;
    ASSERT_TRUE(InspectPackage(Path("stored.exe.001"), report, error)) << error;
    EXPECT_TRUE(report.Problems.empty());
    for (const auto& r : report.Records) EXPECT_LE(r.Length, 0) << r.Offset;
}

TEST_F(PackageWriterTest, SpanVolumes)
{
    TPackOptions o = Sample();
    o.Files.clear();
    for (int i = 0; i < 6; ++i) {
        o.Files.push_back(
            {"", Noise(900, static_cast<uint32_t>(i)), "f" + std::to_string(i), i == 0, "", 1u});
    }
    const std::string out = Path("span.exe.001");
    std::string error;
    std::vector<std::string> volumes;
    o.VolumeSize = 2500;
    ASSERT_TRUE(WritePackage(o, out, error, &volumes)) << error;
    ASSERT_GE(volumes.size(), 3u);
    EXPECT_EQ(volumes[0], out);
    EXPECT_EQ(volumes[1], Path("span.exe.002"));
    EXPECT_EQ(volumes[2], Path("span.exe.003"));

    std::vector<std::string> names;
    for (size_t v = 0; v < volumes.size(); ++v) {
        EXPECT_LE(fs::file_size(volumes[v]), 2500u) << v;
        TPackTrailer t;
        ASSERT_TRUE(ReadTrailer(volumes[v], t));
        EXPECT_EQ(t.PackMagic, kPackMagic);
        EXPECT_EQ(t.FileCount, 6u);
        EXPECT_EQ((t.PackFlags & kFlagHasMoreVolumes) != 0, v + 1 < volumes.size()) << v;
        EXPECT_EQ(t.PackChecksum, PackChecksumOf(volumes[v], t.TrailerSize)) << v;
        int64_t start = t.DataStart;
        if (v == 0) {
            TGFileInfo info(volumes[v]);
            EXPECT_EQ(info.GetAgentToken(true), "agent-token");
            start = info.Trailer().DataStart;
        } else {
            EXPECT_EQ(t.DataStart, 0u);
        }
        for (const TEntry& e : ReadEntries(volumes[v], start)) names.push_back(e.Name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"f0*", "f1", "f2", "f3", "f4", "f5"}));

    TInspectReport report;
    ASSERT_TRUE(InspectPackage(out, report, error)) << error;
    EXPECT_EQ(report.Volumes.size(), volumes.size());
    EXPECT_EQ(report.Records.size(), 6u);
    EXPECT_TRUE(report.Problems.empty()) << report.Problems[0];
    EXPECT_EQ(report.Records[5].DataSize, 900u);
}

TEST_F(PackageWriterTest, FailuresLeaveNoFiles)
{
    const struct {
        const char* what;
        void (*change)(TPackOptions&);
    } cases[] = {
        {"missing source",
         [](TPackOptions& o) {
             o.Files.push_back({"/no/such/file", std::nullopt, "x", false, "", std::nullopt});
         }},
        {"bad name", [](TPackOptions& o) { o.Files[1].Name = "..\\evil.dll"; }},
        {"absolute name", [](TPackOptions& o) { o.Files[1].Name = "C:\\x.dll"; }},
        {"bar in name", [](TPackOptions& o) { o.Files[1].Name = "a|b"; }},
        {"device name", [](TPackOptions& o) { o.Files[1].Name = "data\\con.txt"; }},
        {"stream colon", [](TPackOptions& o) { o.Files[1].Name = "b.bin:stream"; }},
        {"parent with a blank", [](TPackOptions& o) { o.Files[1].Name = ".. \\b.bin"; }},
        {"marked name with a leading blank", [](TPackOptions& o) { o.Files[0].Name = " setup.exe"; }},
        {"two marked", [](TPackOptions& o) { o.Files[1].Marked = true; }},
        {"volume too small", [](TPackOptions& o) { o.VolumeSize = 600; }},
        {"record too big",
         [](TPackOptions& o) {
             o.VolumeSize = 1200;
             o.Languages.clear();
             o.Files[1].Content = Noise(4000, 2);
         }},
        {"control byte in language", [](TPackOptions& o) { o.Languages[0].Strings[0].second = "a\x02"; }},
        {"bar in agent item", [](TPackOptions& o) { o.Agent.Exe = "a|b"; }},
        {"bad block count", [](TPackOptions& o) { o.BlockCount = 4; }},
        {"level above 9", [](TPackOptions& o) { o.Level = 10; }},
        {"no jobs", [](TPackOptions& o) { o.Jobs = 0; }},
        {"a write failing while records are compressed on threads",
         [](TPackOptions& o) {
             o.Jobs = 3;
             o.RecordLimit = 700;
             o.Files.push_back({"/no/such/file", std::nullopt, "x", false, "", std::nullopt});
         }},
    };
    const std::string out = Path("bad.exe");
    for (const auto& c : cases) {
        TPackOptions o = Sample();
        c.change(o);
        std::string error;
        EXPECT_FALSE(WritePackage(o, out, error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(error.find('\n'), std::string::npos) << c.what;
        EXPECT_TRUE(fs::is_empty(dir_)) << c.what << ": " << fs::directory_iterator(dir_)->path();
    }
}

TEST_F(PackageWriterTest, ProjectFileBuildsTheSamePackage)
{
    WriteAll(Path("setup.bin"), std::string(5000, 'a'));
    WriteAll(Path("b.bin"), std::string("\x01\x02\x03", 3));
    WriteAll(Path("empty.txt"), "");
    WriteAll(Path("project.ini"), "; sample project\r\n"
                                  "[Package]\r\n"
                                  "Image = none\r\n"
                                  "Seed = 99\r\n"
                                  "[Flags]\r\n"
                                  "ShowExtractNotice = 1\r\n"
                                  "ShowActivityBar=1\r\n"
                                  "TraceLogEnabled = 1\r\n"
                                  "WebInstall = 1\r\nConfirmDownload = 1\r\nCreateAgent = 1\r\n"
                                  "[Language.English]\r\n"
                                  "s1 = Extracting\r\nCharset = 0\r\n"
                                  "[Language.Turkish]\r\n"
                                  "s1 = Cikariliyor\r\ns10 = Indiriliyor\r\nCharset = 162\r\nFontSize = 9\r\n"
                                  "FontName = Arial\r\ns6 =\r\n"
                                  "[Agent]\r\n"
                                  "Url = http://u/\r\nInfoFile = dir\\app.info\r\nExe = agent.exe\r\n"
                                  "Token = agent-token\r\nSilent = 1\r\n"
                                  "[Web]\r\n"
                                  "Url = http://w/\r\nFile = setup.exe\r\nAlways = 1\r\nToken = web-token\r\n"
                                  "Size = 4242\r\n"
                                  "[Files]\r\n"
                                  "setup.bin | setup.exe* /S | 305419896\r\n"
                                  "b.bin | data\\b.bin | 7\r\n"
                                  "empty.txt | | 9\r\n");
    TPackOptions fromProject;
    std::string error;
    ASSERT_TRUE(LoadPackProject(Path("project.ini"), fromProject, error)) << error;
    ASSERT_TRUE(WritePackage(fromProject, Path("a.exe"), error)) << error;
    ASSERT_TRUE(WritePackage(Sample(), Path("b.exe"), error)) << error;
    EXPECT_EQ(ReadAll(Path("a.exe")), ReadAll(Path("b.exe")));
}

TEST_F(PackageWriterTest, ProjectErrorsNameTheLine)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[Package]\nImage = none\n[Bogus]\n", "line 3: unknown section"},
        {"[Package]\nImage = none\n[Flags]\nShowExtractNotice = yes\n", "line 4: flag value must be 0 or 1"},
        {"[Package]\nImage = none\n[Flags]\nHasMoreVolumes = 1\n", "line 4: HasMoreVolumes"},
        {"[Package]\nImage = none\nColour = red\n", "line 3: unknown key"},
        {"[Package]\nImage = none\n[Files]\na | b | c | d\n", "line 4: a file line"},
        {"[Package]\nImage = none\n[Files]\na | b | soon\n", "line 4: time stamp"},
        {"[Flags]\nBlockCount = 3\n", "no launcher image"},
        {"[Package]\nImage = missing.exe\n", "cannot read launcher image"},
        {"[Package]\nImage = none\nImage = none\n", "line 3: key \"Image\" appears twice"},
        {"key = value\n", "line 1: key outside a section"},
    };
    for (const auto& c : cases) {
        TPackOptions o;
        std::string error;
        EXPECT_FALSE(ParsePackProject(c.text, dir_.string(), o, error)) << c.text;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
    }
    TPackOptions o;
    std::string error;
    ASSERT_TRUE(ParsePackProject("[Package]\nImage=none\n[Files]\nsub/x.bin\ny.bin|z.exe*  -q \"a b\"\n",
                                 dir_.string(), o, error))
        << error;
    ASSERT_EQ(o.Files.size(), 2u);
    EXPECT_EQ(o.Files[0].Name, "x.bin");
    EXPECT_EQ(o.Files[0].Source, (dir_ / "sub/x.bin").string());
    EXPECT_FALSE(o.Files[0].TimeStamp.has_value());
    EXPECT_TRUE(o.Files[1].Marked);
    EXPECT_EQ(o.Files[1].Name, "z.exe");
    EXPECT_EQ(o.Files[1].Arguments, "  -q \"a b\"");

    // The setup package to hash is found like the files; it is read only when writing.
    ASSERT_TRUE(
        ParsePackProject("[Package]\nImage=none\n[Web]\nSha256 = sub/setup.exe\n", dir_.string(), o, error))
        << error;
    ASSERT_TRUE(o.Web.has_value());
    EXPECT_EQ(o.Web->Sha256File, (dir_ / "sub/setup.exe").string());
}

TEST_F(PackageWriterTest, FileTimeBecomesDosDateTime)
{
    WriteAll(Path("t.bin"), "x");
    const auto stamp = FileDosDateTime(Path("t.bin"));
    ASSERT_TRUE(stamp.has_value());
    EXPECT_GE(*stamp >> 25, 2020u - 1980u);
    EXPECT_NE(DosDateTimeText(*stamp), "");
    EXPECT_EQ(DosDateTimeOf(0) >> 16, (1u << 5) | 1u);
    EXPECT_EQ(DosDateTimeText(0x12345678u), "1989-01-20 10:51:48");
    EXPECT_FALSE(FileDosDateTime(Path("missing")).has_value());
}

TEST_F(PackageWriterTest, InspectSurvivesDamage)
{
    TPackOptions o = Sample();
    o.Files[0].Content = std::string(30000, 'q');
    const std::string out = Path("dmg.exe");
    std::string error;
    ASSERT_TRUE(WritePackage(o, out, error)) << error;
    std::string data = ReadAll(out);
    TGFileInfo info(out);
    const size_t first = info.Trailer().DataStart;

    // A huge record length, a broken zlib stream, a zip bomb claim.
    std::string huge = data;
    PutU32LE(reinterpret_cast<unsigned char*>(&huge[first]), 0x7FFFFFF0u);
    std::string broken = data;
    broken[first + 10] ^= 0x55;
    broken[first + 11] ^= 0x55;
    for (const std::string& bad : {huge, broken}) {
        WriteAll(out, bad);
        TInspectReport report;
        ASSERT_TRUE(InspectPackage(out, report, error));
        ASSERT_FALSE(report.Records.empty());
        EXPECT_FALSE(report.Records[0].Problem.empty());
        EXPECT_FALSE(FormatInspectText(report).empty());
        EXPECT_FALSE(FormatInspectJson(report).empty());
    }
    WriteAll(out, "not a package at all");
    TInspectReport report;
    EXPECT_FALSE(InspectPackage(out, report, error));
    EXPECT_NE(error.find("no package"), std::string::npos);
}

TEST(SpaceTable, RoundsUpPerFileAndCluster)
{
    const auto t = ComputeSpaceTable({0, 1, 512, 513, 70000});
    EXPECT_EQ(t[0], 0u + 1 + 512 + 513 + 70000);
    EXPECT_EQ(t[1], 0u + 512 + 512 + 1024 + 70144);
    EXPECT_EQ(t[8], 0u + 65536 + 65536 + 65536 + 131072);
    const auto big = ComputeSpaceTable({3ull << 30, 3ull << 30});
    EXPECT_EQ(big[0], 0xFFFFFFFFu);
}

TEST(VolumeNames, FollowTheBase)
{
    EXPECT_EQ(VolumeFileName("a.exe", 1), "a.exe");
    EXPECT_EQ(VolumeFileName("a.exe", 2), "a.exe.002");
    EXPECT_EQ(VolumeFileName("a.exe.001", 1), "a.exe.001");
    EXPECT_EQ(VolumeFileName("a.exe.001", 12), "a.exe.012");
}

}  // namespace
