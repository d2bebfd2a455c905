#include "base/safe_library.h"

#include <gtest/gtest.h>

TEST(IsBareLibraryName, OnlyPlainFileNames)
{
    EXPECT_TRUE(IsBareLibraryName("wininet.dll"));
    EXPECT_TRUE(IsBareLibraryName("RICHED32.DLL"));
    for (const char* bad : {"", ".", "..", "..\\x.dll", "sub\\x.dll", "sub/x.dll", "C:x.dll", "C:\\W\\x.dll",
                            "\\\\server\\share\\x.dll"})
        EXPECT_FALSE(IsBareLibraryName(bad)) << bad;
    EXPECT_FALSE(IsBareLibraryName(std::string("a\0b.dll", 7)));
}
