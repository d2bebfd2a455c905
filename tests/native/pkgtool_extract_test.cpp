// pkgtool extract: the engine without prompts, one line per failure.
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

}  // namespace
