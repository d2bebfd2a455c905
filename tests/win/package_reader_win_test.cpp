#include "package/lang_id.h"
#include "package/package_reader.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(PackageReaderWin, ClusterSizeComesFromTheDrive)
{
    const uint32_t cluster = QueryClusterSize("C:\\");
    EXPECT_GE(cluster, 512u);
    EXPECT_EQ(cluster & (cluster - 1), 0u);
    EXPECT_EQ(QueryClusterSize("?:\\"), 0u);
}

TEST(PackageReaderWin, UserLanguageFollowsTheThreadLocale)
{
    ResetUserThreadLocale();
    EXPECT_EQ(UserThreadLocale(), static_cast<uint32_t>(GetThreadLocale()));
    EXPECT_EQ(UserLanguageName(), LanguageNameOfId(static_cast<int>(GetThreadLocale() & 0x3FF)));
}

}  // namespace
