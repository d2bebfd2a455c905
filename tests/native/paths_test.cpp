#include "base/paths.h"

#include <gtest/gtest.h>

#include <string>

struct TPathCase {
    const char* Path;
    const char* FileName;
    const char* Folder;
};

// The parts of a path split at "\\" and ":" only.
TEST(PathParts, FileNameAndFolder)
{
    const TPathCase cases[] = {
        {"C:\\Program Files\\A\\a.exe", "a.exe", "C:\\Program Files\\A\\"},
        {"a.exe", "a.exe", ""},
        {"C:a.exe", "a.exe", "C:"},
        {"\\\\server\\share\\x.ini", "x.ini", "\\\\server\\share\\"},
        {"C:\\dir\\", "", "C:\\dir\\"},
        {"dir/sub/x.txt", "dir/sub/x.txt", ""},
        {"", "", ""},
    };
    for (const TPathCase& c : cases) {
        EXPECT_EQ(FileNamePart(c.Path), c.FileName) << c.Path;
        EXPECT_EQ(FolderPart(c.Path), c.Folder) << c.Path;
    }
}

TEST(TrailingBackslash, SetAndStrip)
{
    EXPECT_EQ(SetTrailingBackslash("C:\\", false), "C:");
    EXPECT_EQ(SetTrailingBackslash("C:\\", true), "C:\\");
    EXPECT_EQ(SetTrailingBackslash("C:\\Dir", true), "C:\\Dir\\");
    EXPECT_EQ(SetTrailingBackslash("C:\\Dir\\", false), "C:\\Dir");
    EXPECT_EQ(SetTrailingBackslash("\\", true), "\\");
    EXPECT_EQ(SetTrailingBackslash("\\", false), "\\");
    EXPECT_EQ(SetTrailingBackslash("", true), "\\");
    EXPECT_EQ(StripTrailingBackslash("\\"), "");
    EXPECT_EQ(StripTrailingBackslash("C:\\"), "C:");
    EXPECT_EQ(StripTrailingBackslash("C:\\Dir"), "C:\\Dir");
    EXPECT_EQ(StripTrailingBackslash(""), "");
}

TEST(FileNameWithoutExt, LastOrAllExtensions)
{
    EXPECT_EQ(FileNameWithoutExt("C:\\a.b\\setup.tar.gz", false), "setup.tar");
    EXPECT_EQ(FileNameWithoutExt("C:\\a.b\\setup.tar.gz", true), "setup");
    EXPECT_EQ(FileNameWithoutExt("agent", false), "agent");
    EXPECT_EQ(FileNameWithoutExt("C:\\a.b\\agent", true), "agent");
}
