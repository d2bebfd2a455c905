// The rules of a download that need no network: URL form, chunk size,
// working-file names and which leftovers the clean-up may delete, DOS dates,
// the If-Range validator, Content-Range and the texts of failed answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/error_page.h"
#include "net/http_client.h"
#include "net/sha256.h"

namespace {

TEST(HttpUrlForm, OnlyAUrlWithoutSchemeGetsHttp)
{
    const struct {
        const char* url;
        const char* form;
    } cases[] = {
        {"example.test/setup.exe", "http://example.test/setup.exe"},
        {"http://example.test/a", "http://example.test/a"},
        {"HTTP://EXAMPLE.TEST/A", "HTTP://EXAMPLE.TEST/A"},
        {"https://example.test/a", "https://example.test/a"},
        {"HtTpS://example.test/a", "HtTpS://example.test/a"},
        // "http://" further in is no scheme.
        {"mirror.test/get?from=http://example.test/a", "http://mirror.test/get?from=http://example.test/a"},
        {"httpx://example.test", "http://httpx://example.test"},
    };
    for (const auto& c : cases) EXPECT_EQ(HttpUrlForm(c.url), c.form) << c.url;
}

TEST(RemoteFileName, TheLastPartOfTheUrl)
{
    EXPECT_EQ(RemoteFileName("http://example.test/dir/setup.exe"), "setup.exe");
    EXPECT_EQ(RemoteFileName("example.test/a/b"), "b");
    EXPECT_EQ(RemoteFileName("http://example.test/"), "");
}

TEST(DownloadChunkSize, ATenthWithinOneTo8192)
{
    const struct {
        uint32_t length, chunk;
        int maximum;
    } cases[] = {
        {50, 5, 11},
        {51, 5, 12},
        {5, 1, 6},
        {9, 1, 10},
        {0, 1, 1},
        {81919, 8191, 12},
        {81920, 8192, 11},
        {1000000, 8192, 124},
        {kNoAnnouncedLength, 8192, 524289},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DownloadChunkSize(c.length), c.chunk) << c.length;
        EXPECT_EQ(DownloadProgressMaximum(c.length, c.chunk), c.maximum) << c.length;
    }
}

// Reads grow on a fast link and shrink on a slow one, in whole chunks.
TEST(TReadSizer, FollowsTheLinkInWholeChunks)
{
    struct TRead {
        uint32_t Got, Ms, NextSize;  // Got 0: a full read
    };
    const struct {
        uint32_t Chunk, First;
        std::vector<TRead> Reads;
    } cases[] = {
        // Quick full reads double up to 1 MiB and stay there.
        {8192, 65536, {{0, 1, 131072}, {0, 0, 262144}, {0, 19, 524288}, {0, 1, 1 << 20}, {0, 1, 1 << 20}}},
        // A slow read halves, down to one chunk and no further.
        {8192, 65536, {{0, 51, 32768}, {0, 200, 16384}, {0, 60, 8192}, {0, 900, 8192}}},
        // A short read (the body ends or the link gives less) or one of middling speed keeps the size.
        {8192, 65536, {{100, 1, 65536}, {0, 20, 65536}, {0, 50, 65536}}},
        // A slow short read still halves.
        {8192, 65536, {{100, 80, 32768}}},
        // Chunks of a small file: multiples of the chunk, capped at whole chunks within 1 MiB.
        {5000, 65000, {{0, 1, 130000}, {0, 1, 260000}, {0, 1, 520000}, {0, 1, 1040000}, {0, 1, 1045000}}},
        {5000, 65000, {{0, 99, 30000}, {0, 99, 15000}, {0, 99, 5000}, {0, 99, 5000}}},
        {1, 65536, {{0, 51, 32768}}},
    };
    for (const auto& c : cases) {
        TReadSizer sizer(c.Chunk);
        EXPECT_EQ(sizer.Size(), c.First) << c.Chunk;
        EXPECT_EQ(sizer.Capacity() % c.Chunk, 0u);
        EXPECT_LE(sizer.Capacity(), kMaxNetworkRead);
        for (std::size_t i = 0; i < c.Reads.size(); ++i) {
            const TRead& r = c.Reads[i];
            const uint32_t asked = sizer.Size();
            sizer.Took(asked, r.Got == 0 ? asked : r.Got, r.Ms);
            EXPECT_EQ(sizer.Size(), r.NextSize) << "chunk " << c.Chunk << ", read " << i;
        }
    }
    EXPECT_EQ(TReadSizer(0).Size(), kFirstNetworkRead);  // no chunk is a chunk of one byte
}

TEST(WorkingFilePath, TargetAndThe32BitSumOfLengthAndDate)
{
    EXPECT_EQ(WorkingFilePath("C:\\Temp\\setup.exe", 1000, 5), "C:\\Temp\\setup.exe.1005");
    EXPECT_EQ(WorkingFilePath("setup.exe", kNoAnnouncedLength, 5), "setup.exe.4");
    EXPECT_EQ(WorkingFilePath("setup.exe", 1000, 0), "setup.exe.1000");
    EXPECT_EQ(ValidatorFilePath("C:\\Temp\\setup.exe.1005"), "C:\\Temp\\setup.exe.1005.ifrange");
}

TEST(IsDownloadLeftover, OnlyWorkingFilesAndTheirValidators)
{
    const struct {
        const char* name;
        bool leftover;
    } cases[] = {
        {"setup.exe.1005", true},
        {"SETUP.EXE.1005", true},
        {"setup.exe.0", true},
        {"setup.exe.1005.ifrange", true},
        {"setup.exe.1005.IFRANGE", true},
        {"setup.exe", false},
        {"setup.exe.", false},
        {"setup.exe.bak", false},
        {"setup.exe.config", false},
        {"setup.exe.12a", false},
        {"setup.exe.ifrange", false},
        {"setup.exe.1005.ifrange.old", false},
        {"setup.exe.1005.tmp", false},
        {"setup.exe2.1005", false},
        {"xsetup.exe.1005", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsDownloadLeftover("setup.exe", c.name), c.leftover) << c.name;
}

TEST(DosDateTimeOf, PackedFatStampOrZero)
{
    const struct {
        int y, mo, d, h, mi, s;
        uint32_t dos;
    } cases[] = {
        {1980, 1, 1, 0, 0, 0, 0x00210000u},
        {2023, 11, 14, 22, 13, 20, 0x576EB1AAu},
        {2023, 11, 14, 22, 13, 21, 0x576EB1AAu},  // two-second steps
        {2107, 12, 31, 23, 59, 59, 0xFF9FBF7Du},
        {1979, 12, 31, 23, 59, 59, 0},
        {2108, 1, 1, 0, 0, 0, 0},
        {2023, 13, 1, 0, 0, 0, 0},
        {2023, 0, 1, 0, 0, 0, 0},
        {2023, 1, 0, 0, 0, 0, 0},
        {2023, 1, 1, 24, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0},  // no date at all
    };
    for (const auto& c : cases)
        EXPECT_EQ(DosDateTimeOf(c.y, c.mo, c.d, c.h, c.mi, c.s), c.dos) << c.y << "-" << c.mo << "-" << c.d;
}

TEST(IfRangeValidator, AStrongTagElseTheDate)
{
    const std::string date = "Tue, 14 Nov 2023 22:13:20 GMT";
    EXPECT_EQ(IfRangeValidator("\"v1\"", date), "\"v1\"");
    EXPECT_EQ(IfRangeValidator("W/\"v1\"", date), date) << "a weak tag cannot guard a range";
    EXPECT_EQ(IfRangeValidator("", date), date);
    EXPECT_EQ(IfRangeValidator("", ""), "");
    EXPECT_EQ(ResumeHeaders(600, "\"v1\""), "Range: bytes=600-\r\nIf-Range: \"v1\"\r\n");
}

TEST(ParseContentRange, FirstLastAndTotal)
{
    const struct {
        const char* text;
        bool ok;
        uint64_t first, last, total;
    } cases[] = {
        {"bytes 600-999/1000", true, 600, 999, 1000},
        {"BYTES 0-0/1", true, 0, 0, 1},
        {" bytes 600-999/* ", true, 600, 999, 0},
        {"bytes 4294967296-4294967299/4294967300", true, 4294967296u, 4294967299u, 4294967300u},
        {"bytes 600-599/1000", false, 0, 0, 0},
        {"bytes 600-999/999", false, 0, 0, 0},
        {"bytes -5/10", false, 0, 0, 0},
        {"bytes 1-2", false, 0, 0, 0},
        {"bytes +1-2/3", false, 0, 0, 0},
        {"items 1-2/3", false, 0, 0, 0},
        {"", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TContentRange r;
        ASSERT_EQ(ParseContentRange(c.text, r), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(r.First, c.first) << c.text;
        EXPECT_EQ(r.Last, c.last) << c.text;
        EXPECT_EQ(r.Total, c.total) << c.text;
    }
}

TEST(AnnouncedLength, OnlyADecimalNumberAnnouncesALength)
{
    const struct {
        const char* header;
        uint32_t length;
    } cases[] = {
        {"1000", 1000},
        {" 0 ", 0},
        {"4294967294", 4294967294u},
        {"", kNoAnnouncedLength},
        {"abc", kNoAnnouncedLength},
        {"12abc", kNoAnnouncedLength},
        {"-5", kNoAnnouncedLength},
        {"+5", kNoAnnouncedLength},
        {"1e3", kNoAnnouncedLength},
        {"1 000", kNoAnnouncedLength},
        {"0x10", kNoAnnouncedLength},
        {"4294967295", kNoAnnouncedLength},
        {"99999999999", kNoAnnouncedLength},
        {"99999999999999999999999999", kNoAnnouncedLength},
    };
    for (const auto& c : cases) EXPECT_EQ(AnnouncedLength(c.header), c.length) << c.header;
}

TEST(HttpStatusError, NotFoundMarkupForPagesElseHttpAndTheStatus)
{
    const std::string url = "http://example.test/setup.exe";
    for (unsigned status : {199u, 300u, 304u, 404u, 500u}) EXPECT_FALSE(IsSuccessStatus(status)) << status;
    for (unsigned status : {200u, 203u, 206u, 299u}) EXPECT_TRUE(IsSuccessStatus(status)) << status;

    EXPECT_EQ(HttpStatusError(404, "Not Found", "<html><head><title>Not Found</title></head>", url),
              NotFoundPageMessage(url));
    EXPECT_EQ(HttpStatusError(403, "Forbidden", "<TITLE>Error 404</TITLE>", url), NotFoundPageMessage(url));
    EXPECT_EQ(HttpStatusError(500, "Internal Server Error", "oops", url),
              "HTTP 500 Internal Server Error --- " + url);
    // Never a text that starts with a digit: the agent clears kind-1 texts that start with "3".
    EXPECT_EQ(HttpStatusError(302, "", "", url), "HTTP 302 --- " + url);
}

TEST(HexDigits, LowerCasePairs)
{
    const unsigned char bytes[] = {0x00, 0x0f, 0xa5, 0xff};
    EXPECT_EQ(HexDigits(bytes, sizeof bytes), "000fa5ff");
    EXPECT_EQ(HexDigits(bytes, 0), "");
}

}  // namespace
