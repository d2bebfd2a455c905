// The transfer-rate meter (amount texts, the five-sample speed with its
// 500 ms update over an injected 32-bit tick counter) and the error-page check.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "native/temp_folder.h"
#include "net/error_page.h"
#include "net/transfer_rate.h"

namespace {

TEST(FormatScaledAmount, OneDecimalAndThousandsSeparators)
{
    const struct {
        uint64_t value;
        uint32_t unit;
        const char* text;
    } cases[] = {
        {0, kKiloByte, "0.0"},
        {1024, kKiloByte, "1.0"},
        {1126, kKiloByte, "1.1"},  // 1.0996
        {51, kKiloByte, "0.0"},    // 0.0498
        {204800, kKiloByte, "200.0"},
        {1023 * 1024, kKiloByte, "1,023.0"},
        {1536000, kKiloByte, "1,500.0"},
        {4294967295u, kMegaByte, "4,096.0"},
        {uint64_t{1234567} * kMegaByte, kMegaByte, "1,234,567.0"},
        {uint64_t{999} * kMegaByte + kMegaByte / 2, kMegaByte, "999.5"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatScaledAmount(c.value, c.unit), c.text) << c.value;
}

// Ticks handed out one per call.
struct TTicks {
    std::vector<uint32_t> Values;
    std::size_t Next = 0;
    TTickSource Source()
    {
        return [this] { return Values.at(Next++); };
    }
};

TEST(TBytesRate, AmountsInTheUnitOfTheDisplay)
{
    TTicks ticks{{1, 2, 3}};
    TBytesRate bytes(false, false, ticks.Source());
    EXPECT_EQ(bytes.FormatProgress(500, 100, 10), "100/500 BytesArr");
    TBytesRate kilo(true, false, ticks.Source());
    EXPECT_EQ(kilo.FormatProgress(204800, 1024, 10), "1.0/200.0 KB");
    TBytesRate mega(true, true, ticks.Source());  // megabytes take precedence
    EXPECT_EQ(mega.FormatProgress(4294967295u, 0, 10), "0.0/4,096.0 MB");
}

TEST(TBytesRate, MeterChosenByTheAnnouncedLength)
{
    const struct {
        uint64_t length;
        const char* text;
    } cases[] = {
        {102400, "1024/102400 BytesArr"}, {102401, "1.0/100.0 KB"},        {10485760, "1.0/10,240.0 KB"},
        {10485761, "0.0/10.0 MB"},        {4294967295u, "0.0/4,096.0 MB"},  // no length announced
    };
    for (const auto& c : cases) {
        TBytesRate meter = RateMeterFor(c.length, [] { return 7u; });
        EXPECT_EQ(meter.FormatProgress(c.length, 1024, 1024), c.text) << c.length;
    }
}

// One sample: its tick, its bytes, and the rate text expected after it.
struct TSample {
    uint32_t Tick;
    uint32_t Bytes;
    const char* Rate;
};

void ExpectRates(const char* name, const std::vector<TSample>& samples)
{
    std::vector<uint32_t> values;
    for (const TSample& s : samples) values.push_back(s.Tick);
    TTicks ticks{values};
    TBytesRate meter(false, false, ticks.Source());
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(meter.Rate(samples[i].Bytes), samples[i].Rate) << name << ", sample " << i + 1;
}

TEST(TBytesRate, SpeedFromTheFourNewestChunksOnceFiveSamplesExist)
{
    // 4 x 1,024 bytes in 400 ms: 10 KB/s. The oldest sample only opens the span.
    ExpectRates(
        "steady",
        {{1000, 9999, ""}, {1100, 1024, ""}, {1200, 1024, ""}, {1300, 1024, ""}, {1400, 1024, "10.00"}});
    // No time between the samples: no speed until there is.
    ExpectRates("no span", {{50, 1, ""},
                            {50, 1, ""},
                            {50, 1, ""},
                            {50, 1, ""},
                            {50, 1, ""},
                            {60, 1024, "100.29"}});  // 1+1+1+1,024 bytes in 10 ms
}

TEST(TBytesRate, RecomputedAtMostOncePer500Ms)
{
    ExpectRates("updates",
                {
                    {1000, 0, ""},
                    {1100, 1024, ""},
                    {1200, 1024, ""},
                    {1300, 1024, ""},
                    {1400, 1024, "10.00"},  // computed at 1400
                    {1600, 8192, "10.00"},  // 200 ms later: kept
                    {1900, 8192, "10.00"},  // exactly 500 ms later: kept
                    {1901, 1024, "29.95"},  // 501 ms: 1,024 + 8,192 + 8,192 + 1,024 bytes in 601 ms
                    {2000, 0, "29.95"},
                });
}

TEST(TBytesRate, TickDifferencesWrapAt32Bits)
{
    // The counter passes 2^32 (49.7 days) within the window, one sample reads 0.
    ExpectRates("wrap", {{4294967096u, 0, ""},
                         {4294967196u, 1024, ""},
                         {0, 1024, ""},
                         {100, 1024, ""},
                         {200, 1024, "10.00"},
                         {300, 1024, "10.00"},
                         {701, 1024, "5.71"},  // the oldest sample now reads 0
                         {702, 5120, "5.71"}});
}

TEST(TBytesRate, FormatProgressAppendsTheSpeedOnTheFifthCall)
{
    TTicks ticks{{1000, 1100, 1200, 1300, 1400}};
    TBytesRate meter(true, false, ticks.Source());
    std::vector<std::string> texts;
    for (int i = 1; i <= 5; ++i) texts.push_back(meter.FormatProgress(204800, i * 1024u, 1024));
    EXPECT_EQ(texts, (std::vector<std::string>{"1.0/200.0 KB", "2.0/200.0 KB", "3.0/200.0 KB", "4.0/200.0 KB",
                                               "5.0/200.0 KB   -   10.00 KB/Sec"}));
}

TEST(IsErrorPage, TitledHtmlPagesAndTitlesWith404)
{
    const std::string pad(990, ' ');
    const struct {
        std::string text;
        bool page;
    } cases[] = {
        {"<html><head><title>Not Found</title></head><body></body></html>", true},
        {"<HTML>\r\n<HEAD>\r\n<TITLE>Moved</TITLE>", true},
        {"<TITLE>Error 404</TITLE>", true},
        {"<title>404 Not Found</title>", true},
        {"plain text that says 404 but has no title", false},
        {"<title>fine</title> 404", false},              // 404 after the title
        {"404 <title>fine</title>", false},              // 404 before it
        {"<html><body><title>x</title></body>", false},  // no head
        {"<head><html><title>x</title>", false},         // out of order
        {"<html><head><title>never closed", false},
        {"", false},
        {pad + "<title>404</title>", false},                   // the end tag is past 1,000
        {std::string(900, ' ') + "<title>404</title>", true},  // all within 1,000
    };
    for (const auto& c : cases) EXPECT_EQ(IsErrorPage("", c.text), c.page) << c.text.substr(0, 60);
    const std::string binary = std::string("MZ\x90\0\x03\0", 6) + "<title>404</title>";
    EXPECT_TRUE(IsErrorPage("", binary)) << "zero bytes do not end the text";
}

TEST(IsErrorPage, AnExistingFileIsExaminedInsteadOfTheContent)
{
    TTempFolder dir;
    const std::string page = dir / "page.html";
    const std::string late = dir / "late.html";
    TTempFolder::Write(page, "<html><head><title>Oops</title></head>");
    TTempFolder::Write(late, std::string(995, 'x') + "<title>404</title>");
    EXPECT_TRUE(IsErrorPage(page, "plain"));
    EXPECT_FALSE(IsErrorPage(late, "<title>404</title>")) << "only the file's first 1,000 bytes count";
    EXPECT_TRUE(IsErrorPage(dir / "missing.bin", "<title>404</title>"))
        << "a missing file leaves the content";
    EXPECT_FALSE(IsErrorPage(dir / "missing.bin", "plain"));
}

TEST(ErrorPageMessage, TheNotFoundMarkupOrTheDefault)
{
    const std::string url = "http://example.test/setup.exe";
    EXPECT_EQ(ErrorPageMessage("", "<title>404</title>", url, "failed"),
              "<B>404 File Not Found...</B><P><P>URL:  http://example.test/setup.exe."
              "<P><P>Please make sure the file is available and access is allowed to this file.");
    EXPECT_EQ(ErrorPageMessage("", "PK\x03\x04", url, "failed"), "failed");
    EXPECT_EQ(ErrorPageMessage("", "data", url, ""), "");
}

}  // namespace
