// SHA-256 of data and of files: the standard known answers, files longer than
// one read block, and files that cannot be read.
#include "net/sha256.h"

#include <gtest/gtest.h>

#include <string>

#include "native/temp_folder.h"
#include "native/test_package.h"  // Bytes

namespace {

TEST(Sha256, KnownAnswersOfDataAndFiles)
{
    const struct {
        const char* What;
        std::string Data;
        const char* Hex;
    } cases[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"two blocks", "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"a million a", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    TTempFolder dir;
    for (const auto& c : cases) {
        std::string hex = "stale";
        ASSERT_EQ(Sha256OfData(c.Data, hex), THashResult::Ok) << c.What;
        EXPECT_EQ(hex, c.Hex) << c.What;
        TTempFolder::Write(dir / "data.bin", c.Data);
        hex = "stale";
        ASSERT_EQ(Sha256OfFile(dir / "data.bin", hex), THashResult::Ok) << c.What;
        EXPECT_EQ(hex, c.Hex) << c.What;
    }
}

TEST(Sha256, FilesLongerThanOneReadAreHashedWhole)
{
    // Over three read blocks and a piece, so that every read but the last is full.
    const std::string data = Bytes(3 * 1048576 + 12345, 7);
    TTempFolder dir;
    TTempFolder::Write(dir / "big.bin", data);
    std::string fromData, fromFile;
    ASSERT_EQ(Sha256OfData(data, fromData), THashResult::Ok);
    ASSERT_EQ(Sha256OfFile(dir / "big.bin", fromFile), THashResult::Ok);
    EXPECT_EQ(fromFile, fromData);
    EXPECT_EQ(fromFile.size(), 64u);
    std::string shorter;
    ASSERT_EQ(Sha256OfData(data.substr(0, data.size() - 1), shorter), THashResult::Ok);
    EXPECT_NE(shorter, fromData);
}

TEST(Sha256, UnreadableFiles)
{
    TTempFolder dir;
    for (const std::string& path : {dir / "missing.bin", dir.Path(), dir / "no\\such\\folder.bin"}) {
        std::string hex = "stale";
        EXPECT_EQ(Sha256OfFile(path, hex), THashResult::Unreadable) << path;
        EXPECT_EQ(hex, "") << path;
    }
}

}  // namespace
