#include "package/package_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "package/lang_id.h"
#include "package/lang_select.h"
#include "package/pack_file.h"
#include "package/token.h"

namespace {

namespace fs = std::filesystem;

std::string U32(uint32_t v)
{
    unsigned char b[4];
    PutU32LE(b, v);
    return std::string(reinterpret_cast<char*>(b), 4);
}

std::string Block(const std::string& bytes)
{
    return U32(static_cast<uint32_t>(bytes.size())) + bytes;
}

// A 512-byte image with "MZ" at 0 and "PE" at 256.
std::string FakePe()
{
    std::string image(512, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[256] = 'P';
    image[257] = 'E';
    return image;
}

void SetStoredPackEnd(std::string& data, uint64_t end)
{
    auto* p = reinterpret_cast<unsigned char*>(data.data());
    PutU32LE(p + 248, static_cast<uint32_t>(end >> 32));
    PutU32LE(p + 252, static_cast<uint32_t>(end));
}

std::string Language(const std::string& name, const std::vector<std::string>& items)
{
    std::string entry = "\x01" + name + "\x01";
    for (const std::string& i : items) entry += i + "\x01";
    return entry;
}

std::string LanguageBlock(const std::vector<std::string>& entries)
{
    if (entries.empty()) return "";
    std::string block = "\x02";
    for (const std::string& e : entries) block += e + "\x02";
    return block;
}

struct TRawPackage {
    std::string Image = FakePe();
    std::vector<std::string> Blocks{"", "|http:/|.info|.exe||0|"};
    std::string Records;
    TPackTrailer Trailer;
    bool StorePackEnd = true;

    TRawPackage()
    {
        Trailer.FormatByte = 1;
        Trailer.BlockCount = 2;
        Trailer.PackMagic = kPackMagic;
        Trailer.PackChecksum = kNoPackChecksum;
        Trailer.TrailerSize = kPackTrailerSize;
    }

    std::string Bytes() const
    {
        TPackTrailer t = Trailer;
        t.DataStart = static_cast<uint32_t>(Image.size());
        std::string data = Image;
        for (const std::string& b : Blocks) data += Block(b);
        data += Records;
        const auto tb = EncodeTrailer(t);
        data.append(reinterpret_cast<const char*>(tb.data()), tb.size());
        if (StorePackEnd && IsPeImageData(data)) SetStoredPackEnd(data, data.size());
        return data;
    }
};

class PackageReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetLanguageCache();
        SetUserThreadLocale(0x409);
        dir_ = fs::temp_directory_path() /
               ("vel_reader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        ResetLanguageCache();
        ResetUserThreadLocale();
        SetClusterSizeQuery(nullptr);
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Write(const std::string& name, const std::string& data)
    {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
        return path;
    }
    fs::path dir_;
};

TEST_F(PackageReaderTest, TrailerRoundTripsThroughItsBytes)
{
    TPackTrailer t;
    t.FormatByte = 1;
    t.BlockCount = 3;
    t.DataStart = 252928;
    t.FileCount = 54;
    t.PackMagic = kPackMagic;
    t.PackChecksum = 1234;
    const uint32_t space[9] = {8579100, 8592896, 8608768, 8638464, 8712192,
                               8830976, 9142272, 9797632, 11206656};
    std::copy(std::begin(space), std::end(space), t.SpaceTable);
    t.PackFlags = 0x1F;
    t.WebInstall = 1;
    t.IsAutoUpdateProg = 1;
    t.TrailerSize = 74;
    const auto b = EncodeTrailer(t);
    EXPECT_EQ(b[1], 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[12]), 4), "\x1D\x2C\x3B\x4A");
    EXPECT_EQ(GetU32LE(&b[4]), 252928u);
    EXPECT_EQ(GetU32LE(&b[28 + 4 * 8]), 11206656u);
    EXPECT_EQ(b[65], 0x1F);
    EXPECT_EQ(b[66], 1);
    EXPECT_EQ(b[69], 1);
    EXPECT_EQ(GetU32LE(&b[70]), 74u);
    const TPackTrailer back = DecodeTrailer(b.data(), b.size());
    EXPECT_EQ(std::memcmp(&back, &t, sizeof t), 0);
}

TEST_F(PackageReaderTest, ReadsFlagsAndBlocks)
{
    TRawPackage raw;
    raw.Blocks = {LanguageBlock({Language("English", {"s1=Hi"})}),
                  "|http://h/u/|c:\\x\\app.v1.info|agent.exe|" + ScrambleToken("tok", 7) + "|1|",
                  "|http://w/|setup.exe|1|" + ScrambleToken("web", 9) + "|12345|"};
    raw.Trailer.BlockCount = 3;
    raw.Trailer.PackFlags = kFlagShowExtractNotice | kFlagSpanCdRelaunch | kFlagTraceLogEnabled;
    raw.Trailer.ConfirmDownload = 1;
    raw.Trailer.CreateAgent = 1;
    raw.Records = "RECORDS";
    const std::string data = raw.Bytes();
    TGFileInfo info(Write("p.exe", data));
    ASSERT_TRUE(info.HasPackage());
    EXPECT_EQ(info.Trailer().DataStart, data.size() - 74 - 7);
    EXPECT_TRUE(info.ShowExtractNotice());
    EXPECT_FALSE(info.HasMoreVolumes());
    EXPECT_TRUE(info.SpanCdRelaunch());
    EXPECT_FALSE(info.ShowActivityBar());
    EXPECT_TRUE(info.TraceLogEnabled());
    EXPECT_FALSE(info.WebInstall());
    EXPECT_TRUE(info.ConfirmDownload());
    EXPECT_TRUE(info.CreateAgent());
    EXPECT_FALSE(info.IsAutoUpdateProg());
    EXPECT_EQ(info.GetUpdateUrl(), "http://h/u/");
    EXPECT_EQ(info.GetInfoFileName(), "app.v1.info");
    EXPECT_EQ(info.GetOriginalFileName(), "app.original");
    EXPECT_EQ(info.GetAgentExeName(), "agent.exe");
    EXPECT_EQ(info.GetAgentToken(true), "tok");
    EXPECT_EQ(info.GetAgentToken(false), ScrambleToken("tok", 7));
    EXPECT_TRUE(info.IsSilent());
    EXPECT_EQ(info.GetWebItem(0), "http://w/");
    EXPECT_EQ(info.GetWebItem(1), "setup.exe");
    EXPECT_EQ(info.GetWebItem(4), "12345");
    EXPECT_TRUE(info.IsWebAlwaysDownload());
    EXPECT_EQ(info.GetWebToken(true), "web");
    EXPECT_EQ(info.GetLangString("s1", "x"), "Hi");
}

TEST_F(PackageReaderTest, BlockCountZeroIsTwoAndThreeReadsTheWebBlock)
{
    TRawPackage raw;
    raw.Blocks = {"", "|a|b|c|d|0|", "|web|"};
    raw.Trailer.BlockCount = 0;
    TGFileInfo two(Write("two.exe", raw.Bytes()));
    EXPECT_EQ(two.Trailer().BlockCount, 2);
    EXPECT_EQ(two.WebBlock(), "");
    // The unread third block is where the records start.
    EXPECT_EQ(two.Trailer().DataStart, 512u + 4 + 4 + 11);
    raw.Trailer.BlockCount = 3;
    TGFileInfo three(Write("three.exe", raw.Bytes()));
    EXPECT_EQ(three.WebBlock(), "|web|");
    EXPECT_EQ(three.Trailer().DataStart, 512u + 4 + 4 + 11 + 4 + 5);
}

TEST_F(PackageReaderTest, WebSha256IsTheOptionalSixthItem)
{
    const std::string five = "|http://w/|setup.exe|1|tok|12345|";
    const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";
    const std::string lower = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const struct {
        const char* What;
        std::string WebBlock;
        uint8_t BlockCount;
        std::string Expected;
    } cases[] = {
        {"five items", five, 3, ""},
        {"empty sixth item", five + "|", 3, ""},
        {"upper case", five + upper + "|", 3, lower},
        {"mixed case with blanks", five + " " + upper.substr(0, 32) + lower.substr(32) + " \t|", 3, lower},
        {"unclosed sixth item", five + upper, 3, ""},
        {"seventh item ignored", five + upper + "|later|", 3, lower},
        {"no web block read", five + upper + "|", 2, ""},
    };
    for (const auto& c : cases) {
        TRawPackage raw;
        raw.Blocks = {"", "|a|b|c|d|0|", c.WebBlock};
        raw.Trailer.BlockCount = c.BlockCount;
        TGFileInfo info(Write("p.exe", raw.Bytes()));
        ASSERT_TRUE(info.HasPackage()) << c.What;
        EXPECT_EQ(info.GetWebSha256(), c.Expected) << c.What;
        // The five items before it read as they always did.
        if (c.BlockCount == 3) {
            EXPECT_EQ(info.GetWebItem(kWebSize), "12345") << c.What;
        }
    }
    EXPECT_EQ(TGFileInfo().GetWebSha256(), "");
}

TEST_F(PackageReaderTest, ShortTrailerLeavesLaterFieldsZero)
{
    TRawPackage raw;
    raw.Trailer.SpaceTable[8] = 77;
    raw.Trailer.PackFlags = 0xFF;
    raw.Trailer.FileCount = 5;
    std::string data = raw.Bytes();
    // Cut the trailer to 60 bytes: its first 56 bytes and a size word of 60.
    data.resize(data.size() - 74 + 56);
    data += U32(60);
    SetStoredPackEnd(data, data.size());
    TPackTrailer t;
    EXPECT_TRUE(ReadTrailer(Write("short.exe", data), t));
    EXPECT_EQ(t.TrailerSize, 60u);
    EXPECT_EQ(t.FileCount, 5u);
    EXPECT_EQ(t.PackMagic, kPackMagic);
    EXPECT_EQ(t.SpaceTable[6], 0u);
    EXPECT_EQ(t.SpaceTable[8], 0u);
    EXPECT_EQ(t.PackFlags, 0);
}

TEST_F(PackageReaderTest, StoredPackEndIgnoresAppendedBytes)
{
    TRawPackage raw;
    raw.Blocks = {LanguageBlock({Language("English", {"s0=Title"})}), "|u|i|e|t|1|"};
    raw.Trailer.FileCount = 3;
    const std::string data = raw.Bytes();
    TGFileInfo plain(Write("plain.exe", data));
    TGFileInfo padded(Write("padded.exe", data + std::string(1000, '\x5A')));
    EXPECT_EQ(std::memcmp(&plain.Trailer(), &padded.Trailer(), sizeof(TPackTrailer)), 0);
    EXPECT_EQ(padded.LanguageBlock(), plain.LanguageBlock());
    EXPECT_EQ(padded.AgentBlock(), "|u|i|e|t|1|");
    EXPECT_EQ(ReadStoredPackEnd(data), data.size());

    // Without "PE" at 256 the stored value is not consulted.
    std::string notPe = data + std::string(100, '\0');
    notPe[256] = 'X';
    TGFileInfo foreign(Write("foreign.exe", notPe));
    EXPECT_FALSE(foreign.HasPackage());
}

TEST_F(PackageReaderTest, HostileFilesGiveEmptyReaders)
{
    std::vector<std::string> inputs = {"", "MZ", std::string(3, '\xFF'), std::string(100, '\xFF'), U32(74)};
    // A trailer whose blocks claim gigabytes, and one with DataStart far out.
    TRawPackage raw;
    std::string huge = raw.Bytes();
    huge.replace(512, 4, U32(0xFFFFFFF0u));
    inputs.push_back(huge);
    raw.Image = "not a pe image";
    std::string far = raw.Bytes();
    far.replace(far.size() - 74 + 4, 4, U32(0xFFFFFFFFu));
    inputs.push_back(far);
    std::string packEndTooFar = TRawPackage().Bytes();
    SetStoredPackEnd(packEndTooFar, 1ull << 40);
    inputs.push_back(packEndTooFar);
    for (size_t i = 0; i < inputs.size(); ++i) {
        TGFileInfo info(Write(std::to_string(i) + ".bin", inputs[i]));
        EXPECT_LE(info.LanguageBlock().size() + info.AgentBlock().size(), inputs[i].size()) << i;
        EXPECT_EQ(info.GetLangString("s1", "def"), "def") << i;
        ResetLanguageCache();
    }
    TGFileInfo missing((dir_ / "missing.exe").string());
    EXPECT_EQ(missing.Trailer().FileCount, 0u);
    EXPECT_EQ(missing.GetSpaceNeeded("C:\\"), 0.0);
    EXPECT_EQ(missing.GetLangFontSize(), 8);
}

TEST_F(PackageReaderTest, LanguageLookups)
{
    TRawPackage raw;
    raw.Blocks[0] = LanguageBlock({Language(
        "English", {"s10=Ten", "Charset=", "FontSize=", "FontName=Arial", "s6=", "Attention = Look"})});
    TGFileInfo info(Write("lang.exe", raw.Bytes()));
    EXPECT_EQ(info.GetLangString("s1", "default"), "default");
    EXPECT_EQ(info.GetLangString("S10", "default"), "Ten");
    EXPECT_EQ(info.GetLangString("s6", "default"), "");
    EXPECT_EQ(info.GetLangString("Attention", "default"), " Look");
    EXPECT_EQ(info.GetLangString("Charset", "7"), "");
    EXPECT_EQ(info.GetLangCharset(), 0);
    EXPECT_EQ(info.GetLangFontSize(), 8);
    EXPECT_EQ(info.GetLangFontName(), "Arial");
    EXPECT_EQ(info.GetLangString(kLangExtracting), "Extracting Files...");
}

TEST_F(PackageReaderTest, LanguageChoice)
{
    const std::string german = Language("German", {"s1=Deutsch"});
    const std::string english = Language("English", {"s1=English"});
    const std::string french = Language("French", {"s1=Francais"});
    const std::string turkish = Language(" turkish ", {"s1=Turkce", "Charset=162"});
    const std::string croatian = Language("Croatian", {"s1=Hrvatski"});
    const struct {
        uint32_t locale;
        std::vector<std::string> entries;
        std::string expected;
    } cases[] = {
        {0x41F, {german, english}, "English"},    // Turkish system, no Turkish entry
        {0x407, {turkish}, "Turkce"},             // the only entry, whatever its language
        {0x41F, {german, french}, "default"},     // nothing fits
        {0x40C, {german, english}, "English"},    // French system
        {0x41F, {german, turkish}, "Turkce"},     // name matched trimmed, ignoring case
        {0xC1A, {german, croatian}, "Hrvatski"},  // Serbian (26) maps to CROATIAN
        {0x0000, {german, english}, "English"},   // no locale: English
        {0x407, {german, english}, "Deutsch"},
    };
    for (const auto& c : cases) {
        ResetLanguageCache();
        SetUserThreadLocale(c.locale);
        TRawPackage raw;
        raw.Blocks[0] = LanguageBlock(c.entries);
        TGFileInfo info(Write("choice.exe", raw.Bytes()));
        EXPECT_EQ(info.GetLangString("s1", "default"), c.expected) << std::hex << c.locale;
    }
}

TEST_F(PackageReaderTest, LanguageChoiceIsSharedByAllReaders)
{
    TRawPackage first;
    first.Blocks[0] = LanguageBlock({Language("English", {"s1=First"})});
    TRawPackage second;
    second.Blocks[0] = LanguageBlock({Language("English", {"s1=Second"})});
    TGFileInfo a(Write("a.exe", first.Bytes()));
    TGFileInfo b(Write("b.exe", second.Bytes()));
    EXPECT_EQ(a.GetLangString("s1", "d"), "First");
    EXPECT_EQ(b.GetLangString("s1", "d"), "First");

    // An empty first block means no entry for the rest of the process.
    ResetLanguageCache();
    TRawPackage empty;
    TGFileInfo none(Write("none.exe", empty.Bytes()));
    EXPECT_EQ(none.GetLangString("s1", "d"), "d");
    EXPECT_EQ(a.GetLangString("s1", "d"), "d");
    EXPECT_EQ(ChosenLanguageEntry(first.Blocks[0]), kNoLanguageEntry);
}

uint32_t Cluster4096(const std::string& root)
{
    return root == "D:\\" ? 4096 : 0;
}

TEST_F(PackageReaderTest, SpaceNeededByClusterSize)
{
    TRawPackage raw;
    for (int k = 0; k < 9; ++k) raw.Trailer.SpaceTable[k] = 1000 + static_cast<uint32_t>(k);
    TGFileInfo info(Write("space.exe", raw.Bytes()));
    SetClusterSizeQuery(Cluster4096);
    EXPECT_EQ(info.GetSpaceNeeded("D:\\Temp\\x"), 1004.0);
    EXPECT_EQ(info.GetSpaceNeeded("E:\\Temp\\x"), 1000.0);
    const struct {
        uint32_t cluster;
        int entry;
    } cases[] = {{0, 0}, {511, 0}, {512, 1}, {1024, 2}, {3000, 3}, {65536, 8}, {1u << 20, 8}};
    for (const auto& c : cases)
        EXPECT_EQ(SpaceNeededForCluster(raw.Trailer, c.cluster), 1000.0 + c.entry) << c.cluster;
}

TEST_F(PackageReaderTest, ChecksumOfSmallAndLargePackages)
{
    TRawPackage raw;
    raw.Records = std::string(3000, '\x11');
    const std::string data = raw.Bytes();
    const std::string path = Write("small.exe", data);
    const uint32_t sum = PackChecksumOf(path, 74);
    EXPECT_EQ(sum, PackChecksumOfData(data, 74));
    EXPECT_NE(sum, kNoPackChecksum);
    // The header and the trailer are outside the sum; the records are not.
    std::string changed = data;
    changed[300] ^= 1;
    changed[changed.size() - 60] ^= 1;
    EXPECT_EQ(PackChecksumOfData(changed, 74), sum);
    changed[2000] ^= 1;
    EXPECT_NE(PackChecksumOfData(changed, 74), sum);

    raw.Records = std::string(51200, '\x11');
    EXPECT_EQ(PackChecksumOf(Write("large.exe", raw.Bytes()), 74), kNoPackChecksum);
    EXPECT_EQ(PackChecksumOf((dir_ / "missing").string(), 74), 0u);
}

TEST_F(PackageReaderTest, ChecksumFollowsTheBlockRule)
{
    // Not a PE image: offset 0 on, 4096-byte blocks, 1234 per block while
    // more than 4 bytes remain.
    std::string data(4096 + 100, '\0');
    for (size_t i = 0; i < data.size(); i += 4) PutU32LE(reinterpret_cast<unsigned char*>(&data[i]), 1);
    // remaining starts at 4196 - 74 = 4122; u32 number i (from 1) counts
    // while 4122 - 4i > 4, that is for i up to 1029.
    EXPECT_EQ(PackChecksumOfData(data, 74), 1029u + 1234u);
}

// Known answers, worked out by hand from the rule (a u32 sum with
// wrap-around; 4096-byte blocks; a u32 counts while more than 4 bytes remain
// after it; 1234 per block while more than 4 remain): the builder and the
// extraction share PackChecksumOf, so only fixed values catch a change.
TEST_F(PackageReaderTest, ChecksumKnownAnswers)
{
    auto put = [](std::string& d, size_t at, uint32_t v) {
        PutU32LE(reinterpret_cast<unsigned char*>(&d[at]), v);
    };
    // A PE-like header whose bytes must not count: MZ, filler, PE.
    auto peHeader = [&](size_t size, uint32_t high, uint32_t low) {
        std::string d(size, '\0');
        std::fill(d.begin(), d.begin() + 512, '\xAB');
        d[0] = 'M';
        d[1] = 'Z';
        put(d, 248, high);
        put(d, 252, low);
        d[256] = 'P';
        d[257] = 'E';
        return d;
    };

    // 1024 bytes, StoredPackEnd high word 1 (ignored), low word 1024. The sum
    // starts at 512 with 1024 - 74 - 512 = 438 bytes to go; u32 number k
    // (from 1) counts while 438 - 4k > 4, so k = 1..108. The u32 at
    // 512 + 4j is 0x10000000 + j: 108 * 0x10000000 = 0x6C0000000, low 32
    // bits 0xC0000000 = 3221225472, plus 0 + 1 + ... + 107 = 5778. The one
    // block is short and leaves -74 bytes: no 1234.
    std::string a = peHeader(1024, 1, 1024);
    for (uint32_t j = 0; j < 128; ++j) put(a, 512 + 4 * j, 0x10000000u + j);
    EXPECT_EQ(PackChecksumOf(Write("a.exe", a), 74), 3221231250u);
    // Bytes after the low word's end change nothing.
    EXPECT_EQ(PackChecksumOf(Write("a2.exe", a + std::string(3000, '\xFF')), 74), 3221231250u);

    // 8704 bytes, low word 8704, every u32 from 512 on is 1: 8118 bytes to
    // go. Block 1 (offsets 512..4607): all 1024 count, 4022 left, + 1234.
    // Block 2 (4608..8703): k counts while 4022 - 4k > 4, k = 1..1004; -74
    // left, no 1234. 1024 + 1234 + 1004 = 3262.
    std::string b = peHeader(8704, 0, 8704);
    for (size_t at = 512; at < b.size(); at += 4) put(b, at, 1);
    EXPECT_EQ(PackChecksumOf(Write("b.exe", b), 74), 3262u);

    // Low word 0 (high word 1): no skipped header, the sum runs from offset
    // 0 over 1024 - 74 = 950 bytes, u32 k = 1..236 (offsets 0..940). Every
    // u32 is 1 but "MZ\0\0" at 0 = 0x5A4D = 23117, the high word 1 at 248,
    // the low word 0 at 252, "PE\0\0" at 256 = 0x4550 = 17744:
    // 23117 + 1 + 0 + 17744 + 232 * 1 = 41094.
    std::string c(1024, '\0');
    for (size_t at = 0; at < c.size(); at += 4) put(c, at, 1);
    put(c, 0, 0x5A4D);
    put(c, 248, 1);
    put(c, 252, 0);
    put(c, 256, 0x4550);
    EXPECT_EQ(PackChecksumOf(Write("c.exe", c), 74), 41094u);

    // The size limit: 51,200 zero bytes (not PE) are summed: 51126 bytes to
    // go; after each of the 12 whole blocks more than 4 remain (the twelfth
    // leaves 1974), the short 13th leaves -74: 12 * 1234 = 14808. One byte
    // more and the fixed 1234 comes back without reading.
    EXPECT_EQ(PackChecksumOf(Write("d.bin", std::string(51200, '\0')), 74), 14808u);
    EXPECT_EQ(PackChecksumOf(Write("e.bin", std::string(51201, '\0')), 74), kNoPackChecksum);
}

TEST(TokenTest, ScrambleIsTheInverseOfUnscramble)
{
    const std::string tokens[] = {"", "a", "ABC-123", std::string("\0\xFF\x01|", 4), std::string(300, 'x')};
    for (const std::string& t : tokens) {
        for (uint32_t seed = 0; seed < 50; ++seed) {
            const std::string s = ScrambleToken(t, seed);
            EXPECT_EQ(UnscrambleToken(s), t) << seed;
            for (char c : s) EXPECT_TRUE(c > ' ' && c < 127);
        }
    }
    EXPECT_NE(ScrambleToken("abc", 1), ScrambleToken("abc", 2));
}

TEST(TokenTest, BrokenTokensGiveRandomNumbers)
{
    std::string good = ScrambleToken("secret", 3);
    std::string flipped = good;
    flipped[4] = flipped[4] == 'b' ? 'c' : 'b';
    std::string oddLength = good.substr(0, good.size() - 1);
    const std::string broken[] = {"", "bbbbbbbb", flipped, oddLength, "not a token at all"};
    for (const std::string& b : broken) {
        const std::string r = UnscrambleToken(b);
        ASSERT_FALSE(r.empty()) << b;
        EXPECT_EQ(r.find_first_not_of("0123456789"), std::string::npos) << b;
        EXPECT_LE(std::stoi(r), 99998);
    }
    SeedTokenRandom(5);
    const std::string first = UnscrambleToken("");
    SeedTokenRandom(5);
    EXPECT_EQ(UnscrambleToken(""), first);
}

TEST(TokenTest, PaddingBeyondTheTextIsRejected)
{
    // Bytes: salt 0, head 200, tail 1, then 3 bytes, check, key 0: the head
    // count claims more bytes than there are.
    std::vector<unsigned char> r = {0, 200, 1, 'a', 'b', 'c', 0, 0};
    unsigned sum = 0;
    for (size_t i = 0; i < r.size(); ++i)
        if (i != r.size() - 2) sum += r[i];
    r[r.size() - 2] = static_cast<unsigned char>(sum);
    std::string text;
    for (unsigned char b : r) {
        text += static_cast<char>("0123456789abcdef"[b >> 4] + 50);
        text += static_cast<char>("0123456789abcdef"[b & 15] + 50);
    }
    const std::string out = UnscrambleToken(text);
    EXPECT_EQ(out.find_first_not_of("0123456789"), std::string::npos) << out;
    // A well-formed lower-case text with head 1, tail 1 gives its token.
    r = {0x10, 1, 1, 'p', 'X', 'Y', 0, 0};
    sum = 0;
    for (size_t i = 0; i < r.size(); ++i)
        if (i != r.size() - 2) sum += r[i];
    r[r.size() - 2] = static_cast<unsigned char>(sum);
    // Key is 0x10 ^ 0 = 0x10: the stored bytes 1..n-2 are keyed.
    std::vector<unsigned char> stored = r;
    for (size_t i = 1; i + 1 < stored.size(); ++i) stored[i] ^= 0x10;
    sum = 0;
    for (size_t i = 0; i < stored.size(); ++i)
        if (i != stored.size() - 2) sum += stored[i];
    stored[stored.size() - 2] = static_cast<unsigned char>(sum);
    text.clear();
    for (unsigned char b : stored) {
        text += static_cast<char>("0123456789abcdef"[b >> 4] + 50);
        text += static_cast<char>("0123456789abcdef"[b & 15] + 50);
    }
    EXPECT_EQ(UnscrambleToken(text), "XY");
}

}  // namespace
