// The one package walk: the reader, pkgtool inspect and the extraction see
// the same layout, so inspect reports damage (beyond a FileCount that does
// not match) exactly for the packages that the extraction refuses.
#include "base/debug_stream.h"
#include "package/package_walker.h"
#include "package/package_reader.h"
#include "package/unpack.h"
#include "pkgtool/package_inspect.h"

#include "temp_folder.h"
#include "test_package.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <sstream>
#include <vector>

namespace {

std::string TrailerOf(const std::string& bytes)
{
    return bytes.substr(bytes.size() - 74);
}

// The package with its 74-byte trailer replaced by one whose size word is
// `size`: its first min(size, 74) - 4 bytes, zero padding, the size word.
std::string WithTrailerSize(const std::string& bytes, uint32_t size)
{
    std::string trailer = TrailerOf(bytes);
    std::string fields = trailer.substr(0, std::min<uint32_t>(size, 74) - 4);
    fields.resize(size - 4, '\0');
    return bytes.substr(0, bytes.size() - 74) + fields + TTestPackage::U32(size);
}

struct TCase {
    std::string What;
    std::function<std::string()> Bytes;   // volume 1
    std::function<std::string()> Second;  // volume 2, when there is one
    bool Sound;                           // the extraction succeeds
    std::vector<std::string> Files;       // records inspect reads cleanly, in order
};

TTestPackage TwoFiles(uint8_t blockCount = 2)
{
    TTestPackage pkg;
    pkg.blockCount = blockCount;
    pkg.File("one.txt", "1").File("two.txt", "22", TTestPackage::Stored);
    return pkg;
}

std::vector<TCase> Cases()
{
    const std::vector<std::string> both = {"one.txt", "two.txt"};
    std::vector<TCase> cases;
    cases.push_back({"sound", [] { return TwoFiles().Build(); }, nullptr, true, both});
    cases.push_back({"stored end with bytes after it",
                     [] {
                         TTestPackage p = TwoFiles();
                         p.storedPackEnd = true;
                         p.appended = std::string(300, 'J');
                         return p.Build();
                     },
                     nullptr, true, both});
    cases.push_back({"three text blocks", [] { return TwoFiles(3).Build(); }, nullptr, true, both});
    // BlockCount 4: the fourth block is the first record for every reader.
    cases.push_back({"four text blocks", [] { return TwoFiles(4).Build(); }, nullptr, true, {"two.txt"}});
    cases.push_back({"one text block: the agent block is read as a record",
                     [] { return TwoFiles(1).Build(); }, nullptr, false, both});
    cases.push_back({"trailer size word 60", [] { return WithTrailerSize(TwoFiles().Build(), 60); }, nullptr,
                     true, both});
    cases.push_back({"trailer size word 100", [] { return WithTrailerSize(TwoFiles().Build(), 100); },
                     nullptr, true, both});
    cases.push_back({"text block runs into the trailer",
                     [] {
                         std::string b = TwoFiles().Build();
                         TTestPackage::Put(b, 1024, static_cast<uint32_t>(b.size()));
                         return b;
                     },
                     nullptr,
                     false,
                     {}});
    cases.push_back({"text block length with the top bit set",
                     [] {
                         std::string b = TwoFiles().Build();
                         TTestPackage::Put(b, 1024, 0x80000010u);
                         return b;
                     },
                     nullptr,
                     false,
                     {}});
    cases.push_back({"DataStart in the trailer",
                     [] {
                         std::string b = TwoFiles().Build();
                         TTestPackage::Put(b, b.size() - 74 + 4, static_cast<uint32_t>(b.size() - 40));
                         return b;
                     },
                     nullptr,
                     false,
                     {}});
    cases.push_back({"record runs into the trailer",
                     [] {
                         TTestPackage p;
                         p.File("one.txt", "1").Raw(90, "short body");
                         return p.Build();
                     },
                     nullptr,
                     false,
                     {"one.txt"}});
    cases.push_back({"record reaches into the trailer, not past the package end",
                     [] {
                         TTestPackage p;
                         p.File("one.txt", "1").Raw(40, "short body");
                         return p.Build();
                     },
                     nullptr,
                     false,
                     {"one.txt"}});
    cases.push_back({"record length field in the trailer",
                     [] {
                         TTestPackage p;
                         p.File("one.txt", "1").Raw(-1, "");  // length 1, the body is the trailer
                         std::string b = p.Build();
                         return b.substr(0, b.size() - 74 - 3) + TrailerOf(b);
                     },
                     nullptr,
                     false,
                     {"one.txt"}});
    cases.push_back({"two sound volumes",
                     [] { return TTestPackage::SplitVolume(1, 2).Build(); },
                     [] { return TTestPackage::SplitVolume(2, 2).Build(); },
                     true,
                     {"main.exe*", "part.bin", "part.bin"}});
    cases.push_back({"second volume with DataStart beyond its trailer",
                     [] { return TTestPackage::SplitVolume(1, 2).Build(); },
                     [] {
                         std::string b = TTestPackage::SplitVolume(2, 2).Build();
                         TTestPackage::Put(b, b.size() - 74 + 4, static_cast<uint32_t>(b.size()));
                         return b;
                     },
                     false,
                     {"main.exe*", "part.bin"}});
    return cases;
}

TEST(PackageWalker, ReaderInspectAndExtractionAgree)
{
    for (const TCase& c : Cases()) {
        SCOPED_TRACE(c.What);
        TTempFolder dir;
        const std::string first = dir / "pkg.exe";
        const std::string bytes = c.Bytes();
        TTempFolder::Write(first, bytes);
        if (c.Second) TTempFolder::Write(dir / "pkg.exe.002", c.Second());

        bool success = false;
        std::string mainEntry;
        TUnPackParams params;
        params.PackageFile = first;
        params.TargetDir = dir / "out";
        TUnPackHost host;  // no prompts, no boxes
        std::string debug;
        {
            TDebugCapture capture;
            UnPack(params, success, mainEntry, host);
            debug = capture.Text();
        }
        EXPECT_EQ(success, c.Sound) << debug;

        TInspectReport report;
        std::string error;
        ASSERT_TRUE(InspectPackage(first, report, error)) << error;
        std::vector<std::string> names;
        bool damaged = false;
        for (const TInspectRecord& r : report.Records) {
            if (r.Problem.empty()) names.push_back(r.Name);
            damaged = damaged || !r.Problem.empty();
        }
        for (const std::string& p : report.Problems)
            damaged = damaged || p.find("FileCount") == std::string::npos;
        EXPECT_EQ(!damaged, c.Sound) << FormatInspectText(report);
        EXPECT_EQ(names, c.Files) << FormatInspectText(report);

        // The reader's first record is where inspect's walk of volume 1 began.
        TGFileInfo info(first);
        ASSERT_TRUE(info.HasPackage());
        if (!report.Records.empty() && report.Records[0].Volume == 1) {
            EXPECT_EQ(report.Records[0].Offset, info.Trailer().DataStart);
        }
    }
}

TEST(PackageWalker, RecordsWithOffsetsAndKinds)
{
    TTestPackage pkg;
    pkg.storedPackEnd = true;
    pkg.appended = "after the end";
    pkg.File("a.txt", "aaaa").Raw(0, "").File("b.bin", "bb", TTestPackage::Stored);
    const std::string bytes = pkg.Build();
    TTempFolder dir;
    TTempFolder::Write(dir / "p.exe", bytes);

    TPackVolume volume;
    ASSERT_TRUE(volume.Open(dir / "p.exe"));
    EXPECT_TRUE(volume.HasPackage());
    EXPECT_EQ(volume.FileSize(), static_cast<int64_t>(bytes.size()));
    const int64_t end = static_cast<int64_t>(bytes.size() - pkg.appended.size());
    EXPECT_EQ(volume.PackageEnd(), end);
    EXPECT_EQ(volume.TrailerStart(), end - 74);

    const TPackTextBlocks blocks = volume.ReadTextBlocks();
    EXPECT_TRUE(blocks.Intact);
    EXPECT_EQ(blocks.Language, pkg.languageBlock);
    EXPECT_EQ(blocks.Agent, pkg.agentBlock);
    EXPECT_EQ(blocks.Web, "");
    EXPECT_EQ(blocks.End, static_cast<int64_t>(pkg.Image().size() + pkg.TextBlocks().size()));

    ASSERT_TRUE(volume.StartRecords(blocks.End));
    std::vector<std::pair<int64_t, int32_t>> seen;
    std::vector<std::string> headers;
    TPackRecord r;
    while (volume.NextRecord(r) == TPackVolume::kRecord) {
        seen.emplace_back(r.Offset, r.Length);
        TPackEntryReader entry(nullptr, nullptr);
        EXPECT_EQ(ReadRecordEntry(volume, r, [&](const char* d, size_t n) { entry.Feed(d, n); }).Status,
                  TEntryReadResult::kComplete);
        headers.push_back(entry.Header());
    }
    EXPECT_EQ(volume.Position(), volume.TrailerStart());
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].first, blocks.End);
    EXPECT_GT(seen[0].second, 0);  // compressed
    EXPECT_EQ(seen[1], std::make_pair(seen[0].first + 4 + seen[0].second, 0));
    EXPECT_EQ(seen[2].first, seen[1].first + 4);
    EXPECT_EQ(seen[2].second, -static_cast<int32_t>(TTestPackage::Header("b.bin", 0).size() + 1 + 2));
    EXPECT_EQ(headers, (std::vector<std::string>{"|a.txt|0|", "", "|b.bin|0|"}));
}

TEST(PackageWalker, EntryHeaders)
{
    const struct {
        std::string header;
        std::string fileName, mainEntry;
        uint32_t stamp;
    } cases[] = {
        {"|setup.exe*/S /x|123|", "setup.exe", "setup.exe*/S /x", 123},
        {"|data\\a.bin|0|", "data\\a.bin", "", 0},
        {"|b.exe|*odd|", "b.exe", "|b.exe|*odd|", 0},
        {"|c.txt|99999999999|", "c.txt", "", 0},
        {"|d.txt|-5|", "d.txt", "", 0},
        {"#e|f.txt#7#", "e|f.txt", "", 7},
        {"|*|1|", "", "*", 1},
    };
    for (const auto& c : cases) {
        const TPackEntryHeader h = ParseEntryHeader(c.header);
        EXPECT_EQ(h.FileName, c.fileName) << c.header;
        EXPECT_EQ(h.MainEntry, c.mainEntry) << c.header;
        EXPECT_EQ(h.Stamp, c.stamp) << c.header;
    }

    // The header ends at the first NUL, in whichever piece it comes; without
    // a NUL in the first 64 KiB there is none.
    std::string got;
    TPackEntryReader split([&](const std::string& h) { got = h; }, nullptr);
    for (char ch : std::string("|x|1|\0data", 10)) split.Feed(&ch, 1);
    EXPECT_TRUE(split.HasHeader());
    EXPECT_EQ(got, "|x|1|");
    EXPECT_EQ(split.DataSize(), 4u);
    TPackEntryReader none(nullptr, nullptr);
    const std::string noNul(kMaxEntryHeader + 1, 'n');
    none.Feed(noNul.data(), noNul.size());
    none.Feed("\0tail", 5);
    EXPECT_FALSE(none.HasHeader());
    EXPECT_EQ(none.DataSize(), 0u);
}

TEST(PackageWalker, VolumeNames)
{
    EXPECT_EQ(VolumeFileName("a.exe", 1), "a.exe");
    EXPECT_EQ(VolumeFileName("a.exe", 2), "a.exe.002");
    EXPECT_EQ(VolumeFileName("a.exe.001", 12), "a.exe.012");
    EXPECT_EQ(VolumeFileName("A.EXE.001", 3), "A.EXE.003");
    EXPECT_EQ(VolumeFileName("a.exe", 999), "a.exe.999");
}

}  // namespace
