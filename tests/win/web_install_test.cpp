// The web installer under Wine: web launchers built around the real launcher
// fetch setup packages from the local test server (or find them in place),
// check them and run their fake setup program; and the download stage inside
// this process, with the connection check, the download and the hash behind
// the setup dependencies.
#include "win/setup_test_support.h"

#include "base/paths.h"
#include "net/error_page.h"
#include "net/sha256.h"
#include "package/files.h"
#include "package/package_reader.h"
#include "package/token.h"
#include "setup/setup_flow.h"
#include "setup/web_install.h"
#include "win/http_test_support.h"
#include "win/signing_test_support.h"

namespace {

using namespace setup_test;

constexpr const char* kSecret = "w3b-s3cret";

std::string Token(const std::string& secret)
{
    return ScrambleToken(secret, 7);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// The folders the launcher fetched into that still hold `name`.
std::vector<std::string> LeftDownloads(const std::string& name)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> left;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((std::string(temp) + "VelWeb_*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return left;
    do {
        const std::string folder = std::string(temp) + fd.cFileName;
        if (Exists(folder + "\\" + name)) left.push_back(folder);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return left;
}

struct TWebBlock {
    std::string Base;
    std::string File;
    std::string Always = "0";
    std::string Token = ::Token(kSecret);
    std::string Size = "524288";
    std::string Sha256;  // the sixth item, left out when empty
};

class WebInstallTest : public SetupFlowTest {
protected:
    // A setup package with the fake setup program as its marked entry.
    std::string SetupPackage(const std::string& secret = kSecret) const
    {
        TVolume p;
        p.Agent = "|http:/|.info|agent.exe|" + Token(secret) + "|0|";
        p.File("fake_setup_gui.exe*/FROMWEB", fake_, Stamp());
        return p.Build();
    }

    // `signers`: thumbprints for the sixth agent item, left out when empty.
    void WriteWebLauncher(const TWebBlock& web, bool confirm = false, bool createAgent = false,
                          const std::string& signers = "")
    {
        TVolume l = Package();
        l.Agent =
            "|http:/|.info|agent.exe|" + Token(kSecret) + "|0|" + (signers.empty() ? "" : signers + "|");
        l.Web = "|" + web.Base + "|" + web.File + "|" + web.Always + "|" + web.Token + "|" + web.Size + "|" +
                (web.Sha256.empty() ? "" : web.Sha256 + "|");
        l.WebInstall = true;
        l.ConfirmDownload = confirm;
        l.CreateAgent = createAgent;
        WriteBytes(launcher_, l.Build());
    }

    static std::string ServerBase(const std::string& options = "-", const std::string& scheme = "http")
    {
        return http_test::Url(options, "", scheme).substr(0, http_test::Url(options, "", scheme).size() - 1);
    }

    bool SetupRan() const { return ReadRecord(record_).count("cmd") != 0; }
};

TEST_F(WebInstallTest, FetchesChecksAndRunsThePackageAndPassesItsExitCodeOn)
{
    ASSERT_NE(http_test::Port(), 0) << "the test server does not run";
    for (const std::string scheme : {"http", "https"}) {
        if (scheme == "https" && http_test::Port("https") == 0) continue;
        // This suite may run before (or without) the client suite that trusts the authority.
        if (scheme == "https") ASSERT_TRUE(http_test::TrustTestAuthority());
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("web setup.exe");
        http_test::Serve(name, SetupPackage());
        WriteWebLauncher({ServerBase("-", scheme), name});
        SetEnvironmentVariableA("VEL_FAKE_EXIT", "7");

        TRun run;
        run.Args = "/L=1";
        Run(run);
        ASSERT_TRUE(run.Ended) << scheme;
        EXPECT_EQ(run.ExitCode, 7u) << scheme;
        EXPECT_TRUE(run.Boxes.empty()) << scheme << ": " << (run.Boxes.empty() ? "" : run.Boxes[0].Text);
        const auto rec = ReadRecord(record_);
        ASSERT_TRUE(rec.count("cmd")) << scheme << ": the setup program did not run";
        EXPECT_TRUE(Contains(rec.at("cmd"), " /L=1 /FROMWEB /TH_ID=_")) << rec.at("cmd");
        const auto downloads = http_test::Downloads(name);
        ASSERT_EQ(downloads.size(), 1u) << scheme;
        EXPECT_FALSE(downloads[0].Cut);
        EXPECT_TRUE(LeftDownloads(name).empty()) << scheme << ": the fetched package stays behind";
    }
}

TEST_F(WebInstallTest, AsksBeforeTheDownloadAndEndsSilentlyWhenDeclined)
{
    struct Case {
        const char* Answer;
        bool Runs;
    };
    for (const Case c : {Case{"No", false}, Case{"Yes", true}}) {
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("asked.exe");
        http_test::Serve(name, SetupPackage());
        WriteWebLauncher({ServerBase(), name}, true);
        TRun run;
        run.Answer = c.Answer;
        Run(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(run.ExitCode, 0u);
        ASSERT_EQ(run.Boxes.size(), 1u) << c.Answer << ": the question and nothing after it";
        EXPECT_TRUE(run.Boxes[0].Clicked);
        EXPECT_TRUE(Contains(run.Boxes[0].Text, "INTERNET DOWNLOAD")) << run.Boxes[0].Text;
        EXPECT_TRUE(Contains(run.Boxes[0].Text, "Size: 0.500 MB")) << run.Boxes[0].Text;
        EXPECT_EQ(http_test::Downloads(name).empty(), !c.Runs) << c.Answer;
        EXPECT_EQ(SetupRan(), c.Runs) << c.Answer;
    }
}

TEST_F(WebInstallTest, RefusesForeignPackagesAndErrorPages)
{
    const std::string page = "<html><head><title>404 Not Found</title></head><body>gone</body></html>";
    struct Case {
        const char* What;
        std::string Body;
        const char* Options;
        std::string Expected;  // in the error box
    };
    for (const Case& c : {
             Case{"another launcher's package", SetupPackage("someone else"), "-", kTextBadToken},
             Case{"a package without a token", TVolume().File("x.txt", "x", 0).Build(), "-", kTextBadToken},
             Case{"an error page answered with 200", page, "-", "404 File Not Found"},
             Case{"an error page answered with 404", page, "status=404", "404 File Not Found"},
             Case{"another answer that is not 2xx", "busy", "status=503", "HTTP 503"},
         }) {
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("refused.exe");
        http_test::Serve(name, c.Body);
        WriteWebLauncher({ServerBase(c.Options), name});
        TRun run;
        Run(run);
        ASSERT_TRUE(run.Ended) << c.What;
        ASSERT_EQ(run.Boxes.size(), 1u) << c.What;
        EXPECT_TRUE(Contains(run.Boxes[0].Text, c.Expected)) << c.What << ": " << run.Boxes[0].Text;
        EXPECT_FALSE(SetupRan()) << c.What;
        EXPECT_TRUE(LeftDownloads(name).empty()) << c.What << ": the fetched file stays behind";
    }
}

// The signers of the web installer's own agent block decide over the package
// it fetches, as they do over an agent's updates.
TEST_F(WebInstallTest, NamedSignersDecideWhichPackageRuns)
{
    using namespace signing_test;
    for (const char* name : {"vendor", "stranger"}) ASSERT_TRUE(MakeCertificate(name)) << name;
    TVolume p = Package();
    p.Agent = "|http:/|.info|agent.exe|" + Token(kSecret) + "|0|";
    p.File("fake_setup_gui.exe*/FROMWEB", fake_, Stamp());
    const std::string package = p.Build();
    struct Case {
        const char* What;
        std::string Body;
        bool Runs;
    };
    for (const Case& c : {Case{"signed by the vendor", Signed(package, "vendor"), true},
                          Case{"signed by a stranger", Signed(package, "stranger"), false},
                          Case{"unsigned", WithStoredEnd(package), false}}) {
        ASSERT_FALSE(c.Body.empty()) << c.What;
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("signed.exe");
        http_test::Serve(name, c.Body);
        TWebBlock web;
        web.Base = ServerBase();
        web.File = name;
        WriteWebLauncher(web, false, false, Thumbprint("vendor"));
        TRun run;
        Run(run);
        ASSERT_TRUE(run.Ended) << c.What;
        EXPECT_EQ(SetupRan(), c.Runs) << c.What;
        if (c.Runs) {
            EXPECT_TRUE(run.Boxes.empty()) << c.What << ": " << run.Boxes[0].Text;
        } else {
            ASSERT_EQ(run.Boxes.size(), 1u) << c.What;
            EXPECT_TRUE(Contains(run.Boxes[0].Text, kTextBadToken)) << c.What << ": " << run.Boxes[0].Text;
        }
        EXPECT_TRUE(LeftDownloads(name).empty()) << c.What << ": the fetched file stays behind";
    }
}

TEST_F(WebInstallTest, UsesAPackageInPlaceWithoutFetchingOrDeletingIt)
{
    const std::string package = SetupPackage();
    const std::string folder = work_ + "\\share";
    CreateDirectoryA(folder.c_str(), nullptr);
    struct Case {
        const char* What;
        std::string Place;  // where the package lies
        bool UseFolderBase;
        const char* Always;
        bool Fetched;
    };
    for (const Case& c : {
             Case{"beside the launcher", work_, false, "0", false},
             Case{"beside the launcher, always download", work_, false, "1", true},
             Case{"in the folder the base names", folder, true, "0", false},
         }) {
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("in place.exe");
        WriteBytes(c.Place + "\\" + name, package);
        // Served too, so that a download would succeed and be seen.
        http_test::Serve(name, package);
        TWebBlock web{c.UseFolderBase ? folder : ServerBase(), name};
        web.Always = c.Always;
        WriteWebLauncher(web, true);
        TRun run;
        run.Answer = "Yes";
        Run(run);
        ASSERT_TRUE(run.Ended) << c.What;
        EXPECT_TRUE(SetupRan()) << c.What;
        EXPECT_EQ(run.Boxes.size(), c.Fetched ? 1u : 0u) << c.What << ": asked only before a download";
        EXPECT_EQ(!http_test::Downloads(name).empty(), c.Fetched) << c.What;
        EXPECT_EQ(ReadBytes(c.Place + "\\" + name), package) << c.What << ": the package stays where it is";
    }
}

TEST_F(WebInstallTest, ChecksTheSha256ItemBeforeExtracting)
{
    const std::string package = SetupPackage();
    std::string digest;
    ASSERT_EQ(Sha256OfData(package, digest), THashResult::Ok);
    std::string wrong = digest;
    wrong[0] = wrong[0] == '0' ? '1' : '0';
    struct Case {
        std::string Item;
        bool Runs;
    };
    for (const Case& c : {Case{digest, true}, Case{wrong, false}}) {
        DeleteFileA(record_.c_str());
        const std::string name = http_test::Unique("hashed.exe");
        http_test::Serve(name, package);
        TWebBlock web{ServerBase(), name};
        web.Sha256 = c.Item;
        WriteWebLauncher(web);
        TRun run;
        Run(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(SetupRan(), c.Runs) << c.Item;
        ASSERT_EQ(run.Boxes.size(), c.Runs ? 0u : 1u) << c.Item;
        if (!c.Runs) EXPECT_TRUE(Contains(run.Boxes[0].Text, kTextBadToken)) << run.Boxes[0].Text;
        EXPECT_TRUE(LeftDownloads(name).empty());
    }
}

TEST_F(WebInstallTest, WritesTheAgentCopyBesideTheExtractedFiles)
{
    const std::string name = http_test::Unique("agent setup.exe");
    http_test::Serve(name, SetupPackage());
    WriteWebLauncher({ServerBase(), name}, false, true);
    TRun run;
    Run(run);
    ASSERT_TRUE(run.Ended);
    ASSERT_TRUE(SetupRan());
    // The fake setup program copied what it found beside itself.
    const std::string copy = ReadBytes(copies_ + "\\agent.exe");
    const std::string launcher = ReadBytes(launcher_);
    ASSERT_EQ(copy.size(), launcher.size());
    EXPECT_EQ(copy[copy.size() - 5], 1);
    EXPECT_EQ(copy.substr(0, copy.size() - 5), launcher.substr(0, launcher.size() - 5));
    EXPECT_TRUE(TGFileInfo(copies_ + "\\agent.exe").IsAutoUpdateProg());
    EXPECT_FALSE(TGFileInfo(launcher_).IsAutoUpdateProg());
}

// ---- the download stage in this process --------------------------------------------

struct TWebWorld {
    bool Connected = true;
    std::string Reason;
    bool Answer = true;
    std::vector<std::string> Questions, Errors, Downloads, Unpacked;
    std::string Body;           // what a download writes
    std::string DownloadError;  // what a download answers
    THashResult Hash = THashResult::Ok;
};
TWebWorld* g_web = nullptr;

class DownloadStageTest : public SetupFlowTest {
protected:
    void SetUp() override
    {
        SetupFlowTest::SetUp();
        g_web = &world_;
        deps_ = DefaultSetupDeps();
        deps_.WaitPumping = [](uint32_t) {};
        deps_.HasSwitch = [](const std::string&) { return false; };
        deps_.Confirm = [](intptr_t, const std::string& text, const std::string&, int, int,
                           const std::string&) {
            g_web->Questions.push_back(text);
            return g_web->Answer;
        };
        deps_.Error = [](intptr_t, const std::string& text, const std::string&, int, const std::string&) {
            g_web->Errors.push_back(text);
        };
        deps_.InternetConnected = [](std::string& reason) {
            reason = g_web->Reason;
            return g_web->Connected;
        };
        deps_.DownloadFile = [](intptr_t, const std::string& url, const std::string& target,
                                std::string& error) {
            g_web->Downloads.push_back(url + " > " + target);
            if (!g_web->Body.empty()) WriteBytes(target, g_web->Body);
            error = g_web->DownloadError;
            return error.empty();
        };
        deps_.HashFile = [](const std::string& path, std::string& hex) {
            if (g_web->Hash != THashResult::Ok) return g_web->Hash;
            return Sha256OfFile(path, hex);
        };
        deps_.Unpack = [](const TUnPackRequest& r) {
            g_web->Unpacked.push_back(r.PackageFile);
            return TUnPackResult{true, ""};
        };
        target_ = work_ + "\\target";
        CreateDirectoryA(target_.c_str(), nullptr);
    }
    void TearDown() override
    {
        g_web = nullptr;
        SetupFlowTest::TearDown();
    }
    TGFileInfo Launcher(bool confirm, const std::string& sha256 = "")
    {
        TVolume l;
        l.Web = "|http://127.0.0.1:9/none|pkg.exe|0|" + Token(kSecret) + "|1048576|" +
                (sha256.empty() ? "" : sha256 + "|");
        l.WebInstall = true;
        l.ConfirmDownload = confirm;
        WriteBytes(launcher_, l.Build());
        return TGFileInfo(launcher_);
    }
    void Stage(const TGFileInfo& own)
    {
        DownloadAndRunSetup(deps_, own, nullptr, target_, "http://127.0.0.1:9/none", "pkg.exe");
    }
    std::string Package() const
    {
        TVolume p;
        p.Agent = "|http:/|.info|agent.exe|" + Token(kSecret) + "|0|";
        p.File("x.txt", "x", 0);
        return p.Build();
    }
    TSetupDeps deps_;
    TWebWorld world_;
    std::string target_;
};

TEST_F(DownloadStageTest, NoConnectionIsReportedEvenAfterTheUserDeclined)
{
    const std::string s12 = "No valid Internet Connection.<p>Can not Download File!";
    struct Case {
        bool Answer;
        const char* Reason;
        std::string Expected;
    };
    for (const Case& c :
         {Case{true, "", s12}, Case{true, "The network is down.", s12 + "<P><P>The network is down."},
          Case{false, "", s12}}) {
        world_ = {};
        world_.Connected = false;
        world_.Reason = c.Reason;
        world_.Answer = c.Answer;
        Stage(Launcher(true));
        EXPECT_EQ(world_.Questions.size(), 1u);
        EXPECT_TRUE(world_.Downloads.empty());
        EXPECT_EQ(world_.Errors, std::vector<std::string>{c.Expected});
    }
    world_ = {};
    world_.Answer = false;
    Stage(Launcher(true));
    EXPECT_TRUE(world_.Errors.empty()) << "a refusal with a connection ends silently";
    EXPECT_TRUE(world_.Downloads.empty());
}

TEST_F(DownloadStageTest, FetchesIntoAFolderOfItsOwnAndRemovesItOnEveryPath)
{
    struct Case {
        const char* What;
        std::string Body;
        std::string DownloadError;
        THashResult Hash;
        bool WithHash;
        std::string Expected;  // error box, "" for none
        bool Unpacked;
    };
    std::string digest;
    ASSERT_EQ(Sha256OfData(Package(), digest), THashResult::Ok);
    for (const Case& c : {
             Case{"good package", Package(), "", THashResult::Ok, true, "", true},
             Case{"failed download", "partial", "Download Aborted", THashResult::Ok, false,
                  "Download Aborted", false},
             Case{"a download that reports success without a file", "", "", THashResult::Ok, false,
                  "Cannot open the setup file", false},
             Case{"no SHA-256 on this system", Package(), "", THashResult::Unavailable, true,
                  "cannot compute", false},
         }) {
        world_ = {};
        world_.Body = c.Body;
        world_.DownloadError = c.DownloadError;
        world_.Hash = c.Hash;
        Stage(Launcher(false, c.WithHash ? digest : ""));
        ASSERT_EQ(world_.Downloads.size(), 1u) << c.What;
        const std::string fetched = world_.Downloads[0].substr(world_.Downloads[0].find(" > ") + 3);
        EXPECT_TRUE(Contains(world_.Downloads[0], "http://127.0.0.1:9/none/pkg.exe > "))
            << world_.Downloads[0];
        EXPECT_TRUE(Contains(fetched, "\\VelWeb_")) << fetched;
        EXPECT_EQ(FileNamePart(fetched), "pkg.exe");
        EXPECT_FALSE(Exists(ParentOf(fetched))) << c.What << ": the download folder stays behind";
        EXPECT_EQ(world_.Unpacked.size(), c.Unpacked ? 1u : 0u) << c.What;
        if (c.Expected.empty())
            EXPECT_TRUE(world_.Errors.empty()) << c.What << ": " << world_.Errors[0];
        else {
            ASSERT_EQ(world_.Errors.size(), 1u) << c.What;
            EXPECT_TRUE(Contains(world_.Errors[0], c.Expected)) << c.What << ": " << world_.Errors[0];
        }
    }
}

}  // namespace
