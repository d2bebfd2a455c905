#include "pkgtool/pkgtool_cli.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "base/lists.h"
#include "native/pkgtool_cli_fixture.h"
#include "net/signature.h"
#include "package/package_reader.h"
#include "pkgtool/certificate.h"

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

// A throwaway self-signed certificate (openssl, P-256) and the SHA-256 of its DER form.
constexpr const char* kSignerPem = "-----BEGIN CERTIFICATE-----\r\n"
                                   "MIIBiTCCAS+gAwIBAgIUFWXcGOB8ASbbes32CpAnktjzYCMwCgYIKoZIzj0EAwIw\r\n"
                                   "GjEYMBYGA1UEAwwPVmVsbW9yYSBGaXh0dXJlMB4XDTI2MTIxMTE0NDM0MFoXDTM2\r\n"
                                   "MTIwODE0NDM0MFowGjEYMBYGA1UEAwwPVmVsbW9yYSBGaXh0dXJlMFkwEwYHKoZI\r\n"
                                   "zj0CAQYIKoZIzj0DAQcDQgAEb5imR+Rxj8YJ+xxFpLCzRvLoh7WsUamWeKgzPWF5\r\n"
                                   "08Qmabu10be34Ty6jZkSiPmJN0pFCaFEzugBXgs1m5sEvqNTMFEwHQYDVR0OBBYE\r\n"
                                   "FPhuUYg3DT+Xcpc7EJRC9CkLFGTVMB8GA1UdIwQYMBaAFPhuUYg3DT+Xcpc7EJRC\r\n"
                                   "9CkLFGTVMA8GA1UdEwEB/wQFMAMBAf8wCgYIKoZIzj0EAwIDSAAwRQIhAOy/48NZ\r\n"
                                   "et+g2PBsCxA1mlGeHmgj+DtkX90mJUhL3WeXAiAQaC9W1IfSFZ69hG8bSkLy9cx7\r\n"
                                   "TF0FfGJhO9MRIGe8oA==\r\n"
                                   "-----END CERTIFICATE-----\r\n";
constexpr const char* kSignerDerHex =
    "308201893082012fa00302010202141565dc18e07c0126db7acdf60a902792d8f36023300a06082a8648ce3d04030230"
    "1a3118301606035504030c0f56656c6d6f72612046697874757265301e170d3236313231313134343334305a170d3336"
    "313230383134343334305a301a3118301606035504030c0f56656c6d6f726120466978747572653059301306072a8648"
    "ce3d020106082a8648ce3d030107034200046f98a647e4718fc609fb1c45a4b0b346f2e887b5ac51a99678a8333d6179"
    "d3c42669bbb5d1b7b7e13cba8d991288f989374a4509a144cee8015e0b359b9b04bea3533051301d0603551d0e041604"
    "14f86e5188370d3f9772973b109442f4290b1464d5301f0603551d23041830168014f86e5188370d3f9772973b109442"
    "f4290b1464d5300f0603551d130101ff040530030101ff300a06082a8648ce3d0403020348003045022100ecbfe3c359"
    "7adfa0d8f06c0b10359a519e1e6823f83b645fdd2625484bdd6797022010682f56d487d2159ebd846f1b4a42f2f5cc7b"
    "4c5d057c62613bd3112067bca0";
constexpr const char* kSignerThumbprint = "12acec680ecfa150b656576e71d3c5f0b321b31de4014a7d7d9d0ce4ea1d79cc";

TEST_F(PkgToolCliTest, SignersArePemOrDerThumbprintsInASixthAgentItem)
{
    std::string hex, error;
    ASSERT_TRUE(CertificateThumbprint(kSignerPem, hex, error)) << error;
    EXPECT_EQ(hex, kSignerThumbprint);
    std::string bytes;  // the DER form of the same certificate
    for (size_t i = 0; i + 1 < std::strlen(kSignerDerHex); i += 2)
        bytes += static_cast<char>(std::stoi(std::string(kSignerDerHex + i, 2), nullptr, 16));
    Write("vendor.pem", kSignerPem);
    Write("old.cer", bytes);
    Write("other.pem", "-----BEGIN CERTIFICATE-----\nMIIB*broken\n-----END CERTIFICATE-----\n");
    Write("setup.exe", "x");
    const std::string project = "[Package]\nImage = none\n[Agent]\nToken = t0k\nSilent = 1\n";
    Write("signed.ini", project + "Signers = vendor.pem, old.cer\n[Files]\nsetup.exe\n");
    ASSERT_EQ(Run({"build", Path("signed.ini"), "-o", Path("signed.exe")}), 0) << err_.str();
    const TGFileInfo info(Path("signed.exe"));
    EXPECT_EQ(info.GetAgentSigners(), std::string(kSignerThumbprint) + "," + kSignerThumbprint);
    // Readers of the five items read them as before.
    EXPECT_EQ(info.GetAgentToken(true), "t0k");
    EXPECT_TRUE(info.IsSilent());
    EXPECT_TRUE(SignerListed(info.GetAgentSigners(),
                             "12ACEC680ECFA150B656576E71D3C5F0B321B31DE4014A7D7D9D0CE4EA1D79CC"));
    EXPECT_FALSE(SignerListed(info.GetAgentSigners(), std::string(kSignerThumbprint).substr(0, 63)));
    EXPECT_FALSE(SignerListed("", ""));
    ASSERT_EQ(Run({"inspect", Path("signed.exe")}), 0) << err_.str();
    EXPECT_NE(out_.str().find("  signers: " + std::string(kSignerThumbprint) + "," + kSignerThumbprint),
              std::string::npos)
        << out_.str();

    // Without Signers the agent block keeps its five items.
    Write("plain.ini", project + "[Files]\nsetup.exe\n");
    ASSERT_EQ(Run({"build", Path("plain.ini"), "-o", Path("plain.exe")}), 0) << err_.str();
    EXPECT_EQ(TGFileInfo(Path("plain.exe")).GetAgentSigners(), "");
    EXPECT_EQ(ListCount(TGFileInfo(Path("plain.exe")).AgentBlock()), 5);

    struct Case {
        const char* Signers;
        const char* Error;
    };
    for (const Case c : {Case{"missing.pem", "cannot read certificate \"missing.pem\""},
                         Case{"other.pem", "certificate \"other.pem\": broken PEM certificate"},
                         Case{"setup.exe", "certificate \"setup.exe\": not a certificate (PEM or DER)"},
                         Case{"vendor.pem,", "Signers names an empty certificate file"},
                         Case{"", "Signers names an empty certificate file"}}) {
        Write("bad.ini", project + "Signers = " + c.Signers + "\n[Files]\nsetup.exe\n");
        EXPECT_NE(Run({"build", Path("bad.ini"), "-o", Path("bad.exe")}), 0) << c.Signers;
        EXPECT_NE(err_.str().find(c.Error), std::string::npos) << err_.str();
        EXPECT_FALSE(fs::exists(Path("bad.exe"))) << c.Signers;
    }
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
