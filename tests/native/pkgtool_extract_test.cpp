// pkgtool extract: the engine without prompts, one line per failure.
#include "package/files.h"
#include "pkgtool/pkgtool_cli.h"

#include "temp_folder.h"
#include "test_package.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

int RunTool(const std::vector<std::string>& args, std::string& out, std::string& err)
{
    std::ostringstream o, e;
    int rc = PkgToolMain(args, o, e);
    out = o.str();
    err = e.str();
    return rc;
}

TEST(PkgToolExtract, ExtractsAndFailsOnMissingVolumeOrDamage)
{
    TTempFolder dir;
    for (int v = 1; v <= 2; ++v) {
        TTestPackage pkg;
        pkg.firstVolume = v == 1;
        pkg.packFlags = v == 1 ? 0x02 : 0;
        std::string content = "v";  // "v" + std::to_string(v): a false -Wrestrict of GCC 12 (i686)
        content += std::to_string(v);
        pkg.File(v == 1 ? "run.exe*" : "more.txt", content);
        TTempFolder::Write(dir / (v == 1 ? "p.exe" : "p.exe.002"), pkg.Build());
    }
    std::string out, err;
    EXPECT_EQ(RunTool({"extract", dir / "p.exe", dir / "out"}, out, err), 0) << err;
    EXPECT_EQ(out, "extracted " + (dir / "p.exe") + " to " + (dir / "out") + ", program run.exe*\n");
    EXPECT_EQ(TTempFolder::Read(dir / "out/more.txt"), "v2");

    std::remove((dir / "p.exe.002").c_str());
    EXPECT_EQ(RunTool({"extract", dir / "p.exe", dir / "out2"}, out, err), 1);
    EXPECT_EQ(err, "pkgtool: volume 2 missing: " + (dir / "p.exe") + ".002\n");

    TTestPackage bad;
    bad.Raw(5, "xxxxx");
    TTempFolder::Write(dir / "bad.exe", bad.Build());
    EXPECT_EQ(RunTool({"extract", dir / "bad.exe", dir / "out3"}, out, err), 1);
    EXPECT_EQ(err.find("pkgtool: extraction of "), 0u) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);

    TTempFolder::Write(dir / "foreign.bin", std::string(200, 'f'));
    EXPECT_EQ(RunTool({"extract", dir / "foreign.bin", dir / "out4"}, out, err), 1);
    EXPECT_EQ(RunTool({"extract", dir / "p.exe"}, out, err), 1);
}

// A package may write what its space table promises plus 10%: a bomb or a
// forged table is stopped before the disk fills.
TEST(PkgToolExtract, WritesNoMoreThanTheSpaceTablePromises)
{
    struct Case {
        std::string What;
        uint32_t Promised;
        std::string Big;  // the second file, after a.txt ("1234"); an empty c.txt follows
        bool NoLimit;
        bool Extracts;
    };
    const std::string bomb(8 << 20, '\0');
    const Case cases[] = {
        {"exactly the promise plus 10%", 1000, std::string(1096, 'b'), false, true},
        {"one byte more", 1000, std::string(1097, 'b'), false, false},
        {"a bomb 8,000 times the promise", 1000, bomb, false, false},
        {"a bomb with the limit lifted", 1000, bomb, true, true},
        {"an empty promise", 0, "x", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TTempFolder dir;
        TTestPackage pkg;
        pkg.spaceTotal = c.Promised;
        pkg.File("a.txt", "1234").File("big.bin", c.Big).File("c.txt", "");
        TTempFolder::Write(dir / "p.exe", pkg.Build());
        std::vector<std::string> args = {"extract", dir / "p.exe", dir / "out"};
        if (c.NoLimit) args.push_back("--no-size-limit");
        std::string out, err;
        const int rc = RunTool(args, out, err);
        EXPECT_EQ(rc, c.Extracts ? 0 : 1) << err;
        if (c.Extracts) {
            EXPECT_EQ(TTempFolder::Read(dir / "out/big.bin"), c.Big);
            EXPECT_TRUE(FileExists(dir / "out/c.txt"));
            continue;
        }
        const uint64_t limit = c.Promised + c.Promised / 10;
        EXPECT_EQ(err, "pkgtool: " + (dir / "p.exe") + " unpacks to more than its space table promises (" +
                           std::to_string(c.Promised) + " bytes, plus 10%): stopped after " +
                           std::to_string(limit) +
                           " bytes, the file being written removed (--no-size-limit lifts the limit)\n");
        // What came before stays; the file that passed the limit and every
        // one after it are not there.
        EXPECT_EQ(FileExists(dir / "out/a.txt"), c.Promised >= 4);
        EXPECT_FALSE(FileExists(dir / "out/big.bin"));
        EXPECT_FALSE(FileExists(dir / "out/c.txt"));
    }
}

}  // namespace
