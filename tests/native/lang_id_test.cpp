#include "package/lang_id.h"

#include <gtest/gtest.h>

#include "base/lists.h"

namespace {

TEST(LanguageIdTable, RowsArePaddedAsWritten)
{
    const std::string table = kLanguageIdTable;
    ASSERT_EQ(ListCount(table), 51);
    for (int i = 0; i < 51; ++i) {
        const std::string row = ListItem(table, i);
        // "=" after the name padded to 13 (primary ids) or 20 (regional ids).
        const size_t eq = i < 43 ? 13 : 20;
        ASSERT_GT(row.size(), eq + 2) << row;
        EXPECT_EQ(row[eq], '=') << row;
        EXPECT_EQ(row[eq + 1], ' ') << row;
        EXPECT_EQ(row.size() - eq - 2, i < 43 ? 2u : 4u) << row;
    }
    EXPECT_EQ(ListItem(table, 12), "ENGLISH      = 09");
    EXPECT_EQ(ListItem(table, 0), "AFRIKAANS    = 54");
    EXPECT_EQ(ListItem(table, 50), "SERBIAN(CYRILIC)    = 3098");
}

TEST(LanguageIdTable, NamesOfIds)
{
    const struct {
        int id;
        const char* name;
    } cases[] = {
        {9, "ENGLISH"},
        {26, "CROATIAN"},
        {31, "TURKISH"},
        {7, "GERMAN"},
        {2052, "CHINESE(SIMPLIFIED)"},
        {1028, "CHINESE(TRADITIONAL)"},
        {1043, "DUTCH(STANDARD)"},
        {3098, "SERBIAN(CYRILIC)"},
        {4, "CHINESE"},
        {0, ""},
        {999, ""},
        {42, "VIETNAMESE"},
        // Plain substring test: "52" first occurs in the row of 2052.
        {52, "CHINESE(SIMPLIFIED)"},
    };
    for (const auto& c : cases) EXPECT_EQ(LanguageNameOfId(c.id), c.name) << c.id;
}

TEST(LanguageIdTable, UserLanguageFromThreadLocale)
{
    const struct {
        uint32_t locale;
        const char* name;
    } cases[] = {
        {0x409, "ENGLISH"}, {0x41F, "TURKISH"}, {0x81A, "CROATIAN"}, {0x10000, "ENGLISH"},
        {0x0, "ENGLISH"},   {0x407, "GERMAN"},  {0x3FF, ""},
    };
    for (const auto& c : cases) {
        SetUserThreadLocale(c.locale);
        EXPECT_EQ(UserLanguageName(), c.name) << std::hex << c.locale;
    }
    ResetUserThreadLocale();
}

}  // namespace
