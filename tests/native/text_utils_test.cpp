#include "base/text_utils.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(ReplaceAll, Cases)
{
    struct Case {
        const char* Text;
        const char* Search;
        const char* Repl;
        bool IgnoreCase;
        const char* Want;
    } cases[] = {
        {"a<P>b<p>c", "<p>", "\r\n", true, "a\r\nb\r\nc"},
        {"a<P>b<p>c", "<p>", "\r\n", false, "a<P>b\r\nc"},
        {"aaa", "a", "aa", false, "aaaaaa"},  // inserted text is not matched again
        {"xAbx", "ab", "ab", true, "xabx"},   // replacement keeps its own case
        {"abc", "", "z", false, "abc"},
        {"abc", "d", "z", false, "abc"},
        {"abab", "ab", "b", false, "bb"},
        {"aabb", "ab", "", false, ""},  // closing the gap forms a new match
        {"xAaBby", "ab", "", true, "xy"},
        {"<b>", "<B>", "", true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReplaceAll(c.Text, c.Search, c.Repl, c.IgnoreCase), c.Want) << c.Text << " / " << c.Search;
}

TEST(ReplaceAll, LargeTextIsLinear)
{
    std::string text;
    for (int i = 0; i < 200000; ++i) text += "x<P>";
    const std::string out = ReplaceAll(text, "<p>", "\r\n", true);
    EXPECT_EQ(out.size(), 200000u * 3);
    EXPECT_EQ(ReplaceAll(text, "<p>", "", true), std::string(200000, 'x'));
}

TEST(ReplaceAllRepeated, Cases)
{
    EXPECT_EQ(ReplaceAllRepeated("aaaa", "aa", "a"), "a");
    EXPECT_EQ(ReplaceAllRepeated("a     b  c", "  ", " "), "a b c");
    EXPECT_EQ(ReplaceAllRepeated("xaay", "a", "ab"), "xaay");  // refused: replacement holds search
    EXPECT_EQ(ReplaceAllRepeated("xyz", "a", "b"), "xyz");
    EXPECT_EQ(ReplaceAllRepeated("aab", "ab", "bba"), "bbbbaa");  // rescans from the start
    // Exponential growth is refused rather than exhausting memory.
    const std::string bomb = std::string(60, 'a') + "b";
    EXPECT_EQ(ReplaceAllRepeated(bomb, "ab", "bba"), bomb);
}

TEST(CharFilters, ReplaceAndKeep)
{
    EXPECT_EQ(ReplaceChar("a,b,c", ',', ';'), "a;b;c");
    EXPECT_EQ(KeepChars("v1.2-beta3", "0123456789.", ""), "1.23");
    EXPECT_EQ(KeepChars("v1.2-beta3", "0123456789.", "."), "123");
}

TEST(Substrings, BeforeAfter)
{
    EXPECT_EQ(TextBefore("key = value", "=", "d", true), "key");
    EXPECT_EQ(TextBefore("key = value", "=", "d", false), "key ");
    EXPECT_EQ(TextAfter("key = value", "=", "d", true), "value");
    EXPECT_EQ(TextAfter("a=b=c", "=", "d"), "b=c");
    EXPECT_EQ(TextBefore("abc", "=", "dflt"), "dflt");
    EXPECT_EQ(TextAfter("abc", "=", "dflt"), "dflt");
}

TEST(Substrings, Positions)
{
    EXPECT_EQ(PosText("B", "abcb"), 2);
    EXPECT_EQ(PosText("", "abc"), 0);
    EXPECT_EQ(PosFrom("b", "abcb", 3, false), 4);
    EXPECT_EQ(PosFrom("b", "abcb", 0, false), 2);
    EXPECT_EQ(PosFrom("b", "abcb", 5, false), 0);
    EXPECT_EQ(PosFrom("B", "abcb", 3, false), 0);
    EXPECT_EQ(PosFrom("B", "abcb", 3, true), 4);
    EXPECT_EQ(LastPos("ab", "abxab"), 4);
    EXPECT_EQ(LastPos("q", "abxab"), 0);
    EXPECT_EQ(LastPosFromEnd("AB", "abxab"), 1);
    EXPECT_EQ(LastPosFromEnd("x", "abxab"), 3);
    EXPECT_EQ(LastPosFromEnd("q", "abxab"), 0);
}

TEST(Substrings, StartsEndsSame)
{
    EXPECT_TRUE(StartsWith("AB", "abc", true));
    EXPECT_FALSE(StartsWith("AB", "abc", false));
    EXPECT_FALSE(StartsWith("", "abc", false));
    EXPECT_FALSE(StartsWith("abcd", "abc", false));
    EXPECT_TRUE(EndsWith(".EXE", "setup.exe", true));
    EXPECT_FALSE(EndsWith(".EXE", "setup.exe", false));
    EXPECT_FALSE(EndsWith("xsetup.exe", "setup.exe", true));
    EXPECT_TRUE(SameTextTrimmed("  Yes ", "yES"));
    EXPECT_FALSE(SameTextTrimmed("Yes", "Y es"));
    EXPECT_EQ(ReverseText("abc"), "cba");
}

TEST(Substrings, StripEncloseQuote)
{
    EXPECT_EQ(StripChar("\"", '"', false), "");
    EXPECT_EQ(StripChar("\"\"a\"", '"', false), "a");
    EXPECT_EQ(StripChar("\"a", '"', false), "\"a");  // only one end: kept
    EXPECT_EQ(StripChar("\"a", '"', true), "a");
    EXPECT_EQ(StripChar("\"\"", '"', false), "");
    EXPECT_EQ(EncloseWith("\"a\"", '"', true), "\"a\"");
    EXPECT_EQ(EncloseWith("\"a\"", '"', false), "\"\"a\"\"");
    EXPECT_EQ(Dequote("  \"C:\\x y\"  ", false), "C:\\x y");
    EXPECT_EQ(Dequote(" \"C:\\x", false), "\"C:\\x");
    EXPECT_EQ(QuoteText(" \"C:\\x"), "\"C:\\x\"");
    EXPECT_EQ(QuoteText("C:\\a b"), "\"C:\\a b\"");
}

TEST(Numbers, ThousandsSeparators)
{
    EXPECT_EQ(InsertThousandsSeparators("456"), "456");
    EXPECT_EQ(InsertThousandsSeparators("999.9"), "999.9");
    EXPECT_EQ(InsertThousandsSeparators("1234"), "1,234");
    EXPECT_EQ(InsertThousandsSeparators("1234567.891"), "1,234,567.891");
    EXPECT_EQ(InsertThousandsSeparators("-123456"), "-123,456");
    EXPECT_EQ(InsertThousandsSeparators(""), "");
}

TEST(Numbers, ParseLooseFloat)
{
    EXPECT_DOUBLE_EQ(ParseLooseFloat("1,5", -1), 1.5);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("1,234.5", -1), 1234.5);
    EXPECT_DOUBLE_EQ(ParseLooseFloat(" 42 ", -1), 42);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("-0.25", -1), -0.25);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("1,2,3", -1), -1);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("abc", -1), -1);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("", -1), -1);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("12abc", -1), -1);
    EXPECT_DOUBLE_EQ(ParseLooseFloat("+2.5e2", -1), 250);
    for (const char* notDecimal : {"inf", "-nan", "0x10", "+", "-", ".", "1e999"})
        EXPECT_DOUBLE_EQ(ParseLooseFloat(notDecimal, -1), -1) << notDecimal;
}

TEST(Numbers, FormatFixed)
{
    EXPECT_EQ(FormatFixed(10, 2, false), "10.00");
    EXPECT_EQ(FormatFixed(10, 2, true), "10");
    EXPECT_EQ(FormatFixed(0.5, 2, true), ".5");
    EXPECT_EQ(FormatFixed(0, 2, true), "0");
    EXPECT_EQ(FormatFixed(100, 2, true), "100");
    EXPECT_EQ(FormatFixed(2.26, 1, false), "2.3");
    EXPECT_EQ(FormatFixed(1234.56, 0, true), "1235");
    EXPECT_EQ(FormatFixed(-0.5, 2, true), "-0.5");
    SetUserSeparators({'.', ':', ','});
    EXPECT_EQ(FormatFixed(10.5, 2, false), "10,50");
    EXPECT_EQ(FormatFixed(10.5, 2, true), "10,5");
    ResetUserSeparators();
}

TEST(Numbers, PaddingAndVersions)
{
    EXPECT_EQ(ZeroPad(7, 3), "007");
    EXPECT_EQ(ZeroPad(12345, 3), "12345");
    EXPECT_EQ(ZeroPad(-5, 3), "-005");
    EXPECT_EQ(PadLeft("abc", 5, '*'), "**abc");
    EXPECT_EQ(PadLeft("abcdef", 3, '*'), "abcdef");
    EXPECT_EQ(PadLeft("abcdefgh", -6, ' '), "abcde.");
    EXPECT_EQ(PadLeft("ab", -6, ' '), "    ab");
    EXPECT_EQ(PadLeft("abcdefgh", -2, ' '), "abcdefgh");
    EXPECT_EQ(NormalizeVersion("1.2.3", 4, 4), "0001.0002.0003.0000");
    EXPECT_EQ(NormalizeVersion("v1,20..7 beta", 2, 4), "01.20.00.07");
    EXPECT_EQ(NormalizeVersion("", 1, 2), "0.0");
    EXPECT_EQ(NormalizeVersion("99999999999999999999999.1", 1, 2), "999999999999999999.1");
}

TEST(Numbers, RandomAndBool)
{
    for (int i = 0; i < 50; ++i) {
        const int v = std::stoi(RandomIntText(3, 5));
        EXPECT_GE(v, 3);
        EXPECT_LE(v, 5);
    }
    EXPECT_EQ(RandomIntText(9, 9), "9");
    EXPECT_EQ(std::stoi(RandomIntText(5, 5)), 5);
    EXPECT_EQ(BoolText(true), "TRUE");
    EXPECT_EQ(BoolText(false), "FALSE");
    EXPECT_EQ(BoolDigit(true), '1');
    EXPECT_EQ(BoolDigit(false), '0');
}

TEST(Dates, EncodeDecodeRoundTrip)
{
    EXPECT_EQ(EncodeDateTime({1899, 12, 30, 0, 0, 0}), 0);
    EXPECT_EQ(EncodeDateTime({1899, 12, 31, 0, 0, 1}), 86401);
    for (TDateTimeParts p : {TDateTimeParts{2024, 2, 29, 23, 59, 58}, TDateTimeParts{1900, 3, 1, 0, 0, 0},
                             TDateTimeParts{1601, 1, 1, 12, 0, 0}, TDateTimeParts{2100, 12, 31, 1, 2, 3}}) {
        const TDateTimeParts q = DecodeDateTime(EncodeDateTime(p));
        EXPECT_EQ(std::tie(q.Year, q.Month, q.Day, q.Hour, q.Minute, q.Second),
                  std::tie(p.Year, p.Month, p.Day, p.Hour, p.Minute, p.Second));
    }
}

TEST(Dates, Texts)
{
    const TDateTime feb1 = EncodeDateTime({2024, 2, 1, 7, 5, 9});
    EXPECT_EQ(DateText(feb1), "01-FEB-2024");
    EXPECT_EQ(DateText(EncodeDateTime({1999, 12, 31})), "31-DEC-1999");
    EXPECT_EQ(DateTimeText(" ", feb1), "01-FEB-2024 07:05:09");
    EXPECT_EQ(LogTimeStamp(false, feb1), "01/02/24 07:05:09");
    EXPECT_EQ(LogTimeStamp(true, feb1), "01/02/2024 07:05:09");
    SetUserSeparators({'.', '-', ','});
    EXPECT_EQ(LogTimeStamp(true, feb1), "01.02.2024 07-05-09");
    EXPECT_EQ(DateTimeText("@", feb1), "01-FEB-2024@07-05-09");
    ResetUserSeparators();
}

TEST(Dates, NowIsCurrent)
{
    const TDateTimeParts now = DecodeDateTime(kDateTimeNow);
    EXPECT_GE(now.Year, 2020);
    const std::string text = DateText();
    EXPECT_EQ(text.size(), 11u);
    EXPECT_EQ(text.substr(7), ZeroPad(now.Year, 4));
}

}  // namespace
