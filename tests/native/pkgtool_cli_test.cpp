#include "pkgtool/pkgtool_cli.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "native/pkgtool_cli_fixture.h"
#include "package/package_reader.h"

namespace {

namespace fs = std::filesystem;

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
    EXPECT_TRUE(err_.str().empty()) << "no progress line without a terminal: " << err_.str();
    // Threads and level given: the same package as the default one.
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("jobs.exe"), "--seed", "5", "--jobs", "3",
                   "--level", "9"}),
              0)
        << err_.str();
    EXPECT_EQ(Read("jobs.exe"), Read("out.exe"));
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
        {"build", Path("project.ini"), "-o", Path("out.exe"), "--jobs", "0"},
        {"build", Path("project.ini"), "-o", Path("out.exe"), "--level", "10"},
        {"build", Path("project.ini"), "-o", Path("out.exe"), "--level"},
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

// The web block of the projects below without its sixth item.
constexpr const char* kWebProject = "[Package]\nImage = none\n[Web]\nUrl = http://w/\nFile = setup.exe\n"
                                    "Token = t0k\nSize = 3\n";
constexpr const char* kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kEmptySha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST_F(PkgToolCliTest, WebSha256FromTheProjectOrTheCommandLine)
{
    fs::create_directories(dir_ / "pkg");
    Write("pkg/setup_pkg.exe", "abc");
    Write("empty.exe", "");
    const struct {
        const char* What;
        std::string ProjectLines;
        std::vector<std::string> Options;
        std::string Expected;  // "" when the web block keeps five items
    } cases[] = {
        {"project key, relative to the project", "Sha256 = pkg/setup_pkg.exe\n", {}, kAbcSha256},
        {"project key, absolute", "Sha256 = \"" + Path("empty.exe") + "\"\n", {}, kEmptySha256},
        {"command line", "", {"--web-sha256", Path("pkg/setup_pkg.exe")}, kAbcSha256},
        {"command line over the project",
         "Sha256 = pkg/setup_pkg.exe\n",
         {"--web-sha256", Path("empty.exe")},
         kEmptySha256},
        {"command line over a missing project file",
         "Sha256 = gone.exe\n",
         {"--web-sha256", Path("pkg/setup_pkg.exe")},
         kAbcSha256},
        {"neither", "", {}, ""},
    };
    for (const auto& c : cases) {
        Write("project.ini", kWebProject + c.ProjectLines);
        std::vector<std::string> args = {"build", Path("project.ini"), "-o", Path("out.exe")};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        ASSERT_EQ(Run(args), 0) << c.What << ": " << err_.str();

        TGFileInfo info(Path("out.exe"));
        EXPECT_EQ(info.GetWebSha256(), c.Expected) << c.What;
        // The five items as before, the digest closed by one more delimiter.
        EXPECT_EQ(info.WebBlock(), "|http://w/|setup.exe|0|" + info.GetWebToken(false) + "|3|" +
                                       (c.Expected.empty() ? "" : c.Expected + "|"))
            << c.What;
        EXPECT_EQ(info.GetWebToken(true), "t0k") << c.What;

        ASSERT_EQ(Run({"inspect", Path("out.exe")}), 0) << c.What << ": " << err_.str();
        const std::string text = out_.str();
        ASSERT_EQ(Run({"inspect", Path("out.exe"), "--json"}), 0) << c.What << ": " << err_.str();
        const std::string json = out_.str();
        if (c.Expected.empty()) {
            EXPECT_EQ(text.find("sha256"), std::string::npos) << c.What << "\n" << text;
            EXPECT_EQ(json.find("sha256"), std::string::npos) << c.What << "\n" << json;
        } else {
            EXPECT_NE(text.find("\n  sha256: " + c.Expected + "\n"), std::string::npos) << c.What << "\n"
                                                                                        << text;
            EXPECT_NE(json.find("\"size\": \"3\", \"sha256\": \"" + c.Expected + "\""), std::string::npos)
                << c.What << "\n"
                << json;
        }
    }
}

TEST_F(PkgToolCliTest, WebSha256OfAFileThatCannotBeReadWritesNoPackage)
{
    const struct {
        const char* What;
        std::string Project;
        std::vector<std::string> Options;
        std::string Expected;  // part of the error line
    } cases[] = {
        {"missing project file",
         std::string(kWebProject) + "Sha256 = missing.exe\n",
         {},
         "cannot read " + Path("missing.exe")},
        {"folder", std::string(kWebProject) + "Sha256 = .\n", {}, "cannot read "},
        {"empty project value", std::string(kWebProject) + "Sha256 =\n", {}, "line 8: Sha256 needs the path"},
        {"missing command-line file",
         kWebProject,
         {"--web-sha256", Path("missing.exe")},
         "cannot read " + Path("missing.exe")},
        {"option without its path", kWebProject, {"--web-sha256"}, "--web-sha256 needs the path"},
        {"option with an empty path", kWebProject, {"--web-sha256", ""}, "--web-sha256 needs the path"},
        {"no web section",
         "[Package]\nImage = none\n",
         {"--web-sha256", Path("project.ini")},
         "needs a [Web] section"},
    };
    for (const auto& c : cases) {
        Write("project.ini", c.Project);
        std::vector<std::string> args = {"build", Path("project.ini"), "-o", Path("out.exe")};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        EXPECT_EQ(Run(args), 1) << c.What;
        const std::string err = err_.str();
        EXPECT_EQ(err.rfind("pkgtool: ", 0), 0u) << c.What << ": " << err;
        EXPECT_NE(err.find(c.Expected), std::string::npos) << c.What << ": " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << c.What << ": " << err;
        EXPECT_FALSE(fs::exists(Path("out.exe"))) << c.What;
        EXPECT_FALSE(fs::exists(Path("out.exe.tmp"))) << c.What;
    }
    // The same project builds once the file is there.
    Write("missing.exe", "abc");
    Write("project.ini", std::string(kWebProject) + "Sha256 = missing.exe\n");
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("out.exe")}), 0) << err_.str();
    EXPECT_EQ(TGFileInfo(Path("out.exe")).GetWebSha256(), kAbcSha256);
}

}  // namespace
