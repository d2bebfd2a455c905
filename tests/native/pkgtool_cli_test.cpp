#include "pkgtool/pkgtool_cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "package/package_reader.h"

namespace {

namespace fs = std::filesystem;

class PkgToolCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ =
            fs::temp_directory_path() /
            ("vel_pkgtool_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const std::string& data) const
    {
        std::ofstream(Path(name), std::ios::binary) << data;
    }
    int Run(const std::vector<std::string>& args)
    {
        out_.str("");
        err_.str("");
        return PkgToolMain(args, out_, err_);
    }
    fs::path dir_;
    std::ostringstream out_, err_;
};

TEST_F(PkgToolCliTest, BuildThenInspect)
{
    std::string noise(3000, '\0');
    uint32_t x = 1;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    Write("setup.exe", noise);
    Write("data.cab", std::string(100, 'D'));
    Write("project.ini",
          "[Package]\nImage = none\n[Flags]\nSpanCdRelaunch = 1\n[Language.English]\ns0 = Demo\n"
          "[Agent]\nToken = t0k\n[Files]\nsetup.exe | setup.exe* /quiet\ndata.cab\n");
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("out.exe"), "--seed", "5"}), 0) << err_.str();
    EXPECT_NE(out_.str().find("wrote "), std::string::npos);
    TGFileInfo info(Path("out.exe"));
    EXPECT_TRUE(info.SpanCdRelaunch());
    EXPECT_EQ(info.GetAgentToken(true), "t0k");

    ASSERT_EQ(Run({"inspect", Path("out.exe")}), 0) << err_.str();
    const std::string text = out_.str();
    EXPECT_NE(text.find("setup.exe* /quiet"), std::string::npos) << text;
    EXPECT_NE(text.find("-> \"t0k\""), std::string::npos) << text;
    EXPECT_NE(text.find("s0=Demo"), std::string::npos) << text;
    EXPECT_NE(text.find("SpanCdRelaunch"), std::string::npos) << text;

    ASSERT_EQ(Run({"inspect", Path("out.exe"), "--json"}), 0);
    EXPECT_NE(out_.str().find("\"tokenPlain\": \"t0k\""), std::string::npos) << out_.str();

    // Span volumes through the command line.
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("span.exe"), "--volume-size", "1200",
                   "--record-limit", "500", "--image", "none"}),
              0)
        << err_.str();
    EXPECT_TRUE(fs::exists(Path("span.exe.002")));
    ASSERT_EQ(Run({"inspect", Path("span.exe")}), 0) << out_.str();
}

TEST_F(PkgToolCliTest, ErrorsAreOneLineAndNonZero)
{
    Write("project.ini", "[Package]\nImage = none\n[Files]\nmissing.bin\n");
    const std::vector<std::vector<std::string>> commands = {
        {"build", Path("project.ini"), "-o", Path("out.exe")},
        {"build", Path("project.ini")},
        {"build", Path("nothing.ini"), "-o", Path("out.exe")},
        {"build", Path("project.ini"), "-o", Path("out.exe"), "--volume-size", "lots"},
        {"inspect", Path("project.ini")},
        {"inspect"},
        {"frobnicate"},
    };
    for (const auto& c : commands) {
        EXPECT_NE(Run(c), 0) << c[0];
        const std::string err = err_.str();
        ASSERT_FALSE(err.empty()) << c[0];
        EXPECT_EQ(err.rfind("pkgtool: ", 0) == 0 || err.rfind("usage:", 0) == 0, true) << err;
        EXPECT_EQ(err.find("pkgtool: "), err.rfind("pkgtool: ")) << err;
    }
    EXPECT_FALSE(fs::exists(Path("out.exe")));
    EXPECT_FALSE(fs::exists(Path("out.exe.tmp")));
}

}  // namespace
