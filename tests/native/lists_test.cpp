#include "base/lists.h"

#include <gtest/gtest.h>

namespace {

TEST(ListCount, CountsOnlyWellFormedLists)
{
    const struct {
        std::string list;
        int count;
    } cases[] = {
        {"", 0},   {"|", 0}, {"||", 1}, {"|a|b|d|", 3}, {"|a|b", 0}, {"a", 0}, {"\x02\x01x\x01\x02", 1},
        {"::", 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ListCount(c.list), c.count) << c.list;
}

TEST(ListItem, WalksItemsAndFallsBackToDefault)
{
    const struct {
        std::string list;
        int index;
        std::string expected;
    } cases[] = {
        {"|a|b|d|", 0, "a"},   {"|a|b|d|", 2, "d"},
        {"|a|b|d|", 3, "def"}, {"|a|b|d|", -1, "d"},
        {"|a|b", 0, "a"},      {"|a|b", 1, "def"},
        {"|a||d|", 1, "def"},  {"|a||d|", 2, "d"},
        {"", 0, "def"},        {std::string(1, '\0'), 0, "def"},
        {"||", 0, "def"},      {"|a|b|d|", -2, "def"},
        {"|a|", -1, "a"},      {"|a||", -1, "def"},
        {"|", -1, "def"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListItem(c.list, c.index, "def"), c.expected) << c.list << " " << c.index;
}

TEST(ListItemInt64, ReadsNumbersOnly)
{
    EXPECT_EQ(ListItemInt64("|12|-7| 5|x|9999999999999|", 0, -1), 12);
    EXPECT_EQ(ListItemInt64("|12|-7| 5|x|9999999999999|", 1, -1), -7);
    EXPECT_EQ(ListItemInt64("|12|-7| 5|x|9999999999999|", 2, -1), 5);
    EXPECT_EQ(ListItemInt64("|12|-7| 5|x|9999999999999|", 3, -1), -1);
    EXPECT_EQ(ListItemInt64("|12|-7| 5|x|9999999999999|", 4, -1), 9999999999LL * 1000 + 999);
    EXPECT_EQ(ListItemInt64("|5x|99999999999999999999|+|", 0, -1), -1);
    EXPECT_EQ(ListItemInt64("|5x|99999999999999999999|+|", 1, -1), -1);
    EXPECT_EQ(ListItemInt64("|5x|99999999999999999999|+|", 2, -1), -1);
}

TEST(ListValue, MatchesWholeKeysIgnoringCase)
{
    const struct {
        std::string list, key, expected;
    } cases[] = {
        {"|A=1|a=2|", "a", "1"},
        {"|x = 5|", "x", " 5"},
        {"|k=|", "k", "EMPTY"},
        {"|k=|", "j", "DEF"},
        {"|s10=ten|", "s1", "DEF"},
        {"|s10=ten|s1=one|", "s1", "one"},
        {"|s1=one|", "s1=", "one"},
        {"|==eq|", "=", "eq"},
        {"|=v|", "", "v"},
        {"| key=v|", "key", "v"},
        {"|  key=v|", "key", "DEF"},
        {"|key   =v|", "KEY", "v"},
        {"|a=b=c|", "a", "b=c"},
        {"|ba=1|", "a", "DEF"},
        {"||", "a", "DEF"},
        {"|a=1", "a", "DEF"},
        {"\x01"
         "English\x01"
         "s1=Hi\x01",
         "S1", "Hi"},
        {" a=1 b=2 ", "b", "2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListValue(c.list, c.key, "DEF", "EMPTY"), c.expected) << c.list << " " << c.key;
}

TEST(NormalizeList, PicksFirstFreeDelimiter)
{
    EXPECT_EQ(NormalizeList(std::string("\0a\0b\0", 5)), "|a|b|");
    EXPECT_EQ(NormalizeList(std::string("\0a|\0b\0", 6)), "*a|*b*");
    EXPECT_EQ(NormalizeList(std::string("\0|*~^\0", 6)), "!|*~^!");
    EXPECT_EQ(NormalizeList(":a:b:"), "|a|b|");
    EXPECT_EQ(NormalizeList(std::string(1, '\0')), "");
    EXPECT_EQ(NormalizeList(""), "");
    std::string all("\0|*~^!@#$&\xFF\0", 12);
    const std::string r = NormalizeList(all);
    ASSERT_EQ(r.size(), 12u);
    EXPECT_EQ(ListCount(r), 1);
    EXPECT_EQ(ListItem(r, 0), "|*~^!@#$&\xFF");
}

TEST(ListSearch, IndexOfAndContains)
{
    EXPECT_EQ(ListIndexOf("|Alpha|beta|GAMMA|", "gamma"), 2);
    EXPECT_EQ(ListIndexOf("|Alpha|beta|GAMMA|", " beta "), 1);
    EXPECT_EQ(ListIndexOf("|Alpha|beta|GAMMA|", "del", 99), 99);
    EXPECT_EQ(ListIndexOf("|Alpha|beta|GAMMA|", "be", -1, false), -1);
    EXPECT_EQ(ListIndexOf("|Alpha|beta|GAMMA|", "GA", -1, true), 2);
    EXPECT_TRUE(ListContains("|a|bc|", "bc"));
    EXPECT_FALSE(ListContains("|a|bc|", "b"));
    EXPECT_FALSE(ListContains("|a|bc|", "BC"));
    EXPECT_TRUE(ListContains("|a|bc|", "BC", false, true));
    EXPECT_TRUE(ListContains("|a|bc|", " bc ", true));
    EXPECT_FALSE(ListContains("", ""));
}

TEST(ListTransform, KeysValuesZip)
{
    EXPECT_EQ(ListKeys("|a=1|b=2|c|"), "|a|b|c|");
    EXPECT_EQ(ListValues("|a=1|b=x=2|c|"), "|1|x=2||");
    EXPECT_EQ(ListZip("|a|b|", "|1|2|3|"), "|a=1|b=2|=3|");
    EXPECT_EQ(ListZip("|a|b|||", "|1||", true), "|a=1|b=|");
    EXPECT_EQ(ListZip("|a|b|||", "|1||", false), "|a=1|b=|=|=|");
    EXPECT_EQ(ListZip("|a|", "|x\x7c"
                             "y|"),
              "|a=x|=y|");
}

TEST(ListTransform, DeleteAndSetItem)
{
    EXPECT_EQ(ListDelete("|a|b|c|", 1), "|a|c|");
    EXPECT_EQ(ListDelete("|a|b|c|", 3), "|a|b|c|");
    EXPECT_EQ(ListDelete("|a|b|c|", -1), "|a|b|c|");
    EXPECT_EQ(ListDelete("|a|", 0), "");
    EXPECT_EQ(ListSetItem("|a|b|", 1, "x"), "|a|x|");
    EXPECT_EQ(ListSetItem("|a|", 3, "x"), "|a|||x|");
    EXPECT_EQ(ListSetItem("", 0, "x"), "|x|");
    EXPECT_EQ(ListSetItem(":a:b:", 0, "x"), ":x:b:");
    EXPECT_EQ(ListSetItem("|a|b|", 0, "x|y"), "*x|y*b*");
}

TEST(ListTransform, FromArrayAppendReverseUniqueTrim)
{
    EXPECT_EQ(ListFromArray({"a", "b"}), "|a|b|");
    EXPECT_EQ(ListFromArray({"a|", "b"}), "*a|*b*");
    EXPECT_EQ(ListFromArray({}), "");
    EXPECT_EQ(ListFromArray({"a", " A ", "b", "a"}, true), "|a|b|");
    EXPECT_EQ(ListAppend(":a:", {"b"}), ":a:b:");
    EXPECT_EQ(ListAppend(":a:", {"b:c"}), "|a|b:c|");
    EXPECT_EQ(ListAppend("|a|", {"A", "c"}, true), "|a|c|");
    EXPECT_EQ(ListAppend("", {"x"}), "|x|");
    EXPECT_EQ(ListReverse("|a|b|c|"), "|c|b|a|");
    EXPECT_EQ(ListReverse(":a:"), ":a:");
    EXPECT_EQ(ListUnique("|a||B| b |A|c|"), "|a|B|c|");
    EXPECT_EQ(ListUnique("|||"), "");
    EXPECT_EQ(ListTrim("|||a||b|||"), "|a||b|");
    EXPECT_EQ(ListTrim("|||a||b|||", true, false), "|||a||b|");
    EXPECT_EQ(ListTrim("|||a||b|||", false, true), "|a||b|||");
    EXPECT_EQ(ListTrim("||||"), "");
    EXPECT_EQ(ListSetDelimiter("|a|b|", ':'), ":a:b:");
    EXPECT_EQ(ListSetDelimiter("", ':'), "");
}

}  // namespace
