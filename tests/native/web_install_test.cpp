#include "setup/web_install.h"

#include <gtest/gtest.h>

#include <string>

#include "package/token.h"

namespace {

TEST(WebInstallTexts, PathsQuestionAndConnectionError)
{
    EXPECT_EQ(WebLocalPath("C:\\setups", "pkg.exe"), "C:\\setups\\pkg.exe");
    EXPECT_EQ(WebLocalPath("C:\\", "pkg.exe"), "C:\\pkg.exe") << "one backslash, not two";
    EXPECT_EQ(WebLocalPath("\\\\server\\share", "pkg.exe"), "\\\\server\\share\\pkg.exe");
    EXPECT_EQ(WebDownloadUrl("http://example.test/dl", "pkg.exe"), "http://example.test/dl/pkg.exe");

    struct Case {
        const char* Question;
        const char* Size;
        const char* Expected;
    };
    for (const Case& c : {
             Case{"Size: <SIZE> MB<P><SIZE>", "524288", "Size: 0.500 MB<P>0.500"},
             Case{"Size: <SIZE> MB", "1048576", "Size: 1.00 MB"},
             Case{"Size: <SIZE> MB", "31457280", "Size: 30.0 MB"},
             Case{"Size: <SIZE> MB", "not a number", "Size: 0.000 MB"},
             Case{"Size: <size> MB", "1048576", "Size: <size> MB"},  // exact case only
         })
        EXPECT_EQ(DownloadQuestionText(c.Question, c.Size), c.Expected) << c.Size;

    EXPECT_EQ(NoConnectionText("No connection.", ""), "No connection.");
    EXPECT_EQ(NoConnectionText("No connection.", "The network is down."),
              "No connection.<P><P>The network is down.");
}

// A PE-like image: "MZ", "PE" at 256, StoredPackEnd at 248 (high) and 252
// (low), and a recognisable byte everywhere else.
std::string Image(size_t size, uint64_t storedEnd)
{
    std::string image(size, 'x');
    image[0] = 'M';
    image[1] = 'Z';
    image[256] = 'P';
    image[257] = 'E';
    for (int i = 0; i < 4; ++i) {
        image[248 + i] = static_cast<char>(storedEnd >> 32 >> (8 * i));
        image[252 + i] = static_cast<char>(storedEnd >> (8 * i));
    }
    return image;
}

TEST(WebAgentCopy, CutsShortTailsAndMarksTheTrailerThatEndsThePackage)
{
    struct Case {
        const char* What;
        size_t Size;
        uint64_t Stored;
        size_t CopySize;
        size_t FlagAt;  // the byte set to 1
    };
    const size_t end = 20000;
    for (const Case& c : {
             Case{"nothing behind the package", end, end, end, end - 5},
             Case{"9,999 bytes behind: dropped", end + 9999, end, end, end - 5},
             Case{"10,000 bytes behind: kept, the package's own trailer marked", end + 10000, end,
                  end + 10000, end - 5},
             Case{"no stored end: the file's end", end, 0, end, end - 5},
             Case{"a stored end past the file: the file's end", end, end + 1, end, end - 5},
         }) {
        const std::string copy = WebAgentCopy(Image(c.Size, c.Stored));
        ASSERT_EQ(copy.size(), c.CopySize) << c.What;
        EXPECT_EQ(copy[c.FlagAt], 1) << c.What;
        const std::string original = Image(c.Size, c.Stored);
        size_t changed = 0;
        for (size_t i = 0; i < copy.size(); ++i) changed += copy[i] != original[i];
        EXPECT_EQ(changed, 1u) << c.What << ": only the flag byte changes";
    }
    // Not an image at all: the file's end.
    std::string plain(100, 'y');
    EXPECT_EQ(WebAgentCopy(plain)[95], 1);
    EXPECT_EQ(WebAgentCopy("abc"), "abc") << "too short for a trailer";
}

TEST(WebInstallChecks, TokensAndHashes)
{
    const std::string secret = ScrambleToken("s3cret", 1);
    EXPECT_TRUE(ScrambledTokensMatch(secret, ScrambleToken("s3cret", 2))) << "compared decoded";
    EXPECT_FALSE(ScrambledTokensMatch(secret, ScrambleToken("other", 2)));
    EXPECT_FALSE(ScrambledTokensMatch(secret, ""));
    EXPECT_FALSE(ScrambledTokensMatch("not a token", "not a token")) << "broken tokens never match";

    const std::string digest = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    EXPECT_TRUE(WebHashMatches("", digest)) << "no hash item, no check";
    EXPECT_TRUE(WebHashMatches(digest, digest));
    EXPECT_TRUE(WebHashMatches(" BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD ", digest));
    EXPECT_FALSE(WebHashMatches(digest, "00" + digest.substr(2)));
    EXPECT_FALSE(WebHashMatches(digest, "")) << "a file that could not be hashed";
}

}  // namespace
