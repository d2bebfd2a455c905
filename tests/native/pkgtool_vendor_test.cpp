// What vendors need around pkgtool: signatures behind the package,
// reproducible builds and the files of an update location.
#include <gtest/gtest.h>

#include <filesystem>

#include "autoupdate/agent_settings.h"
#include "native/pkgtool_cli_fixture.h"
#include "package/pack_file.h"
#include "package/package_reader.h"
#include "package/token.h"
#include "pkgtool/pack_project.h"
#include "pkgtool/package_writer.h"
#include "pkgtool/pe_signature.h"
#include "pkgtool/release.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kOptionalHeader = kPeSignatureOffset + 24;

// A launcher-shaped image ("MZ", NT headers at 256) whose security directory
// names `table`; PE32+ when `plus`.
std::string PeImage(bool plus, uint32_t tableOffset = 0, uint32_t tableSize = 0)
{
    std::string image(1024, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    image[0x3C] = static_cast<char>(kPeSignatureOffset);
    image[0x3D] = static_cast<char>(kPeSignatureOffset >> 8);
    image.replace(kPeSignatureOffset, 4, std::string("PE\0\0", 4));
    image[kOptionalHeader] = 0x0B;
    image[kOptionalHeader + 1] = plus ? 0x02 : 0x01;
    auto* bytes = reinterpret_cast<unsigned char*>(image.data());
    PutU32LE(bytes + kOptionalHeader + (plus ? 108 : 92), 16);
    const size_t security = kOptionalHeader + (plus ? 112 : 96) + 4 * 8;
    PutU32LE(bytes + security, tableOffset);
    PutU32LE(bytes + security + 4, tableSize);
    return image;
}

TEST(PeCertificateTable, ReadsTheSecurityDirectoryOfBothImageKinds)
{
    const struct {
        const char* What;
        std::string Head;
        bool Found;
    } cases[] = {
        {"PE32 with a table", PeImage(false, 5000, 1200), true},
        {"PE32+ with a table", PeImage(true, 5000, 1200), true},
        {"empty directory", PeImage(false), false},
        {"offset without size", PeImage(false, 5000, 0), false},
        {"the builder's stand-in image", StubImage(), false},
        {"not MZ", "ZM" + PeImage(false, 5000, 1200).substr(2), false},
        {"cut before the directory", PeImage(false, 5000, 1200).substr(0, 400), false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        const auto table = PeCertificateTable(c.Head);
        ASSERT_EQ(table.has_value(), c.Found) << c.What;
        if (table) {
            EXPECT_EQ(table->Offset, 5000u) << c.What;
            EXPECT_EQ(table->Size, 1200u) << c.What;
        }
    }
}

class PkgToolVendorTest : public PkgToolCliTest {};

TEST_F(PkgToolVendorTest, InspectTellsWhereTheSignatureLies)
{
    Write("image.exe", PeImage(false));
    Write("setup.exe", "setup program");
    Write("project.ini",
          "[Package]\nImage = image.exe\n[Agent]\nToken = t\n[Files]\nsetup.exe | setup.exe*\n");
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("out.exe")}), 0) << err_.str();
    EXPECT_EQ(err_.str(), "");
    ASSERT_EQ(Run({"inspect", Path("out.exe")}), 0) << out_.str();
    EXPECT_NE(out_.str().find("\n  signed: no\n"), std::string::npos) << out_.str();

    // What a signing tool does: pad to 8 bytes, append the table, enter it.
    std::string package = Read("out.exe");
    const uint64_t end = package.size();
    package.resize((end + 7) / 8 * 8, '\0');
    const uint32_t offset = static_cast<uint32_t>(package.size());
    package += std::string(1000, 'C');
    package.replace(0, 1024, PeImage(false, offset, 1000).substr(0, 1024));
    // Keep the package end the builder stored.
    const std::string built = Read("out.exe");
    package.replace(kStoredPackEndHighOffset, 8, built.substr(kStoredPackEndHighOffset, 8));
    Write("signed.exe", package);
    ASSERT_EQ(Run({"inspect", Path("signed.exe")}), 0) << out_.str();
    const std::string expected =
        "signed: yes, " + std::to_string(package.size() - end) + " bytes after the package end";
    EXPECT_NE(out_.str().find("\n  " + expected + "\n"), std::string::npos) << out_.str();
    EXPECT_NE(out_.str().find("setup.exe*"), std::string::npos) << out_.str();
    ASSERT_EQ(Run({"inspect", Path("signed.exe"), "--json"}), 0) << out_.str();
    EXPECT_NE(out_.str().find("\"signed\": \"yes, "), std::string::npos) << out_.str();

    // A table that runs past the file end is a finding.
    Write("cut.exe", package.substr(0, package.size() - 10));
    EXPECT_EQ(Run({"inspect", Path("cut.exe")}), 2);
    EXPECT_NE(out_.str().find("certificate table runs past the file end"), std::string::npos) << out_.str();
}

TEST_F(PkgToolVendorTest, BuildWarnsOfASignedImage)
{
    // Signed image: its table lies at its own end, inside the package later.
    std::string image = PeImage(true, 1024, 16) + std::string(16, 'C');
    Write("image.exe", image);
    Write("project.ini", "[Package]\nImage = image.exe\n");
    ASSERT_EQ(Run({"build", Path("project.ini"), "-o", Path("out.exe")}), 0) << err_.str();
    EXPECT_NE(err_.str().find("pkgtool: warning: the launcher image is signed"), std::string::npos)
        << err_.str();
    EXPECT_NE(err_.str().find("sign the finished package"), std::string::npos) << err_.str();
    ASSERT_EQ(Run({"inspect", Path("out.exe")}), 0) << out_.str();
    EXPECT_NE(out_.str().find("signed: the launcher image only"), std::string::npos) << out_.str();
}

TEST(SourceDateEpoch, WholeSecondsOrAnError)
{
    const struct {
        const char* Text;
        bool Ok;
        std::optional<int64_t> Epoch;
    } cases[] = {
        {nullptr, true, std::nullopt},        {"", true, std::nullopt},
        {"1700000000", true, 1700000000},     {"0", true, 0},
        {"-5", false, std::nullopt},          {"17e8", false, std::nullopt},
        {"1700000000 ", false, std::nullopt}, {"yesterday", false, std::nullopt},
    };
    for (const auto& c : cases) {
        std::optional<int64_t> epoch = 42;
        std::string error;
        EXPECT_EQ(ParseSourceDateEpoch(c.Text, epoch, error), c.Ok) << (c.Text ? c.Text : "null");
        if (c.Ok) {
            EXPECT_EQ(epoch, c.Epoch) << c.Text;
        } else {
            EXPECT_NE(error.find("SOURCE_DATE_EPOCH must be a whole number"), std::string::npos) << error;
        }
    }
}

TEST_F(PkgToolVendorTest, SourceDateEpochMakesTwoFoldersGiveOnePackage)
{
    const int64_t epoch = 1700000000;  // 2023-11-14 22:13:20 UTC
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 365 * 10);
    for (const std::string folder : {"a", "b"}) {
        fs::create_directories(dir_ / folder / "sub");
        Write(folder + "/setup.exe", "setup program");
        Write(folder + "/sub/old.txt", "older than the epoch");
        Write(folder + "/project.ini", "[Package]\nImage = none\n[Agent]\nToken = secret\n[Web]\nToken = w\n"
                                       "[Files]\nsetup.exe | setup.exe*\nsub/old.txt | docs\\old.txt\n");
        fs::last_write_time(Path(folder + "/sub/old.txt"), old);
    }
    // Checked out at different times.
    fs::last_write_time(Path("b/setup.exe"), fs::file_time_type::clock::now() - std::chrono::hours(5));

    std::string packages[2];
    for (int i = 0; i < 2; ++i) {
        const std::string folder = i == 0 ? "a" : "b";
        TPackOptions options;
        std::string error;
        ASSERT_TRUE(LoadPackProject(Path(folder + "/project.ini"), options, error)) << error;
        options.SourceDateEpoch = epoch;
        options.Jobs = i + 1;
        ASSERT_TRUE(WritePackage(options, Path(folder + "/out.exe"), error)) << error;
        packages[i] = Read(folder + "/out.exe");
    }
    EXPECT_EQ(packages[0], packages[1]);

    const TGFileInfo info(Path("a/out.exe"));
    EXPECT_EQ(info.GetAgentToken(true), "secret");
    EXPECT_EQ(info.GetAgentToken(false), ScrambleToken("secret", static_cast<uint32_t>(epoch)));
    ASSERT_EQ(Run({"inspect", Path("a/out.exe")}), 0) << out_.str();
    // Newer files get the epoch, in UTC; the old one keeps its own time.
    EXPECT_NE(out_.str().find("setup.exe*  time " + std::to_string(DosDateTimeOf(epoch, true)) +
                              " (2023-11-14 22:13:20)"),
              std::string::npos)
        << out_.str();
    // The old file keeps its own time (in UTC), not the epoch.
    const auto oldStamp = DosDateTimeOf(FileModificationTime(Path("a/sub/old.txt")).value_or(0), true);
    EXPECT_LT(oldStamp, DosDateTimeOf(epoch, true));
    EXPECT_NE(out_.str().find("docs\\old.txt  time " + std::to_string(oldStamp)), std::string::npos)
        << out_.str();
}

// ---- pkgtool release ---------------------------------------------------------

constexpr const char* kUpdateProject = "[Package]\nImage = none\n[Agent]\nToken = tiny-token\n"
                                       "[Files]\nsetup.exe | setup.exe*\n";

TEST_F(PkgToolVendorTest, ReleaseWritesTheUpdateAndItsDescription)
{
    Write("setup.exe", "setup program");
    Write("project.ini",
          std::string(kUpdateProject) +
              "[Release]\nInfoFile = tiny.info\nOutput = site\nProgramName = Tiny 2\n"
              "VersionNew = 2\nValidVersions = 1\nDownloadURL_UPDATE = http://example.com/tiny\n"
              "NameOfUpdateFile = tiny-update.exe\nShutDownMethod = Using WM_CLOSE\n"
              "RunningProcess = <InstallDir>tiny.exe\nRestartProcess = 1\nBackgroundUpdate = 1\n");
    ASSERT_EQ(Run({"release", Path("project.ini")}), 0) << err_.str();
    const fs::path site = Path("site");
    EXPECT_EQ(out_.str(), "wrote " + (site / "tiny-update.exe").string() + "\nwrote " +
                              (site / "tiny.info").string() + "\n");
    const std::string update = Read("site/tiny-update.exe");
    EXPECT_EQ(Read("site/tiny.info"), "[General]\r\nAutoInform=0\r\n\r\n"
                                      "[NewSetup]\r\nProgramName=Tiny 2\r\nVersionNew=2\r\nStamp=2\r\n"
                                      "ValidVersions=1\r\nDownloadURL_UPDATE=http://example.com/tiny\r\n"
                                      "NameOfUpdateFile=tiny-update.exe\r\nSizeOfUpdateFile=" +
                                          std::to_string(update.size()) +
                                          "\r\nBackgroundUpdate=1\r\nShutDownMethod=Using WM_CLOSE\r\n"
                                          "RunningProcess=<InstallDir>tiny.exe\r\nRestartProcess=1\r\n");
    const TGFileInfo info(Path("site/tiny-update.exe"));
    EXPECT_EQ(info.GetAgentToken(true), "tiny-token");
    EXPECT_FALSE(fs::exists(Path("site/tiny.info.tmp")));

    // -o wins over Output; a second release replaces the files.
    ASSERT_EQ(Run({"release", Path("project.ini"), "-o", Path("other")}), 0) << err_.str();
    EXPECT_TRUE(fs::exists(Path("other/tiny.info")));
}

TEST_F(PkgToolVendorTest, ReleaseInInformModeWritesTheInformFile)
{
    Write("news.txt", "Version 3 is out.\r\nGet it now.");
    Write("project.ini",
          "[Package]\nImage = none\n[Agent]\nToken = tiny-token\n"
          "[Release]\nInfoFile = tiny.info\nAutoInform = 1\nVersionNew = 3\nStamp = 7\nValidVersions =\n"
          "DownloadURL_UPDATE = \\\\server\\share\nNameOfInformFile = news.inform\n"
          "InformTextFile = news.txt\nDownloadURL_INFORM = http://example.com/get\n"
          "AutoInformW = 400\n");
    ASSERT_EQ(Run({"release", Path("project.ini"), "-o", Path("site")}), 0) << err_.str();
    const std::string inform = Read("site/news.inform");
    std::string token, rest;
    SplitTokenLine(inform, token, rest);
    EXPECT_EQ(token, "tiny-token");
    EXPECT_EQ(rest, "Version 3 is out.\r\nGet it now.");
    EXPECT_EQ(Read("site/tiny.info"),
              "[General]\r\nAutoInform=1\r\n\r\n"
              "[NewSetup]\r\nVersionNew=3\r\nStamp=7\r\nValidVersions=\r\n"
              "DownloadURL_UPDATE=\\\\server\\share\r\n\r\n"
              "[AutoInform]\r\nNameOfInformFile=news.inform\r\nSizeOfInformFile=" +
                  std::to_string(inform.size()) +
                  "\r\nDownloadURL_INFORM=http://example.com/get\r\nAutoInformW=400\r\n");
    EXPECT_FALSE(fs::exists(Path("site/tiny-update.exe")));
}

TEST_F(PkgToolVendorTest, ReleaseRefusesMissingAndContradictoryValues)
{
    Write("setup.exe", "setup program");
    const std::string update = "InfoFile = tiny.info\nVersionNew = 2\nDownloadURL_UPDATE = http://h/u\n"
                               "NameOfUpdateFile = up.exe\n";
    const std::string inform = "InfoFile = tiny.info\nVersionNew = 2\nDownloadURL_UPDATE = http://h/u\n"
                               "AutoInform = 1\nNameOfInformFile = news.txt\n";
    const struct {
        const char* What;
        std::string Project;  // [Release] follows kUpdateProject unless it starts with "["
        std::string Expected;
    } cases[] = {
        {"no section", "[Package]\nImage = none\n[Agent]\nToken = t\n", "no [Release] section"},
        {"unknown key", update + "Versoin = 3\n", "unknown key \"Versoin\""},
        {"no description name",
         "VersionNew = 2\nDownloadURL_UPDATE = http://h/u\nNameOfUpdateFile = up.exe\n",
         "InfoFile is missing"},
        {"description name with a folder", "InfoFile = sub/tiny.info\nVersionNew = 2\n",
         "InfoFile must be a plain file name"},
        {"no location", "InfoFile = tiny.info\nVersionNew = 2\nNameOfUpdateFile = up.exe\n",
         "DownloadURL_UPDATE is missing"},
        {"location with the separator",
         "InfoFile = tiny.info\nVersionNew = 2\nDownloadURL_UPDATE = http://h/u/\n",
         "must not end with \"/\""},
        {"no version", "InfoFile = tiny.info\nDownloadURL_UPDATE = http://h/u\n", "VersionNew is missing"},
        {"version 0", "InfoFile = tiny.info\nDownloadURL_UPDATE = http://h/u\nVersionNew = 0\n",
         "VersionNew must be a whole number from 1"},
        {"stamp not a number", update + "Stamp = 2b\n", "Stamp must be a whole number"},
        {"valid versions with a blank", update + "ValidVersions = \"1, 2\"\n",
         "versions separated by commas without blanks"},
        {"valid version not below the new one", update + "ValidVersions = 1,2\n",
         "ValidVersions lists 2, which is not below VersionNew 2"},
        {"measured size given", update + "SizeOfUpdateFile = 10\n", "SizeOfUpdateFile is measured"},
        {"flag not 0 or 1", update + "BackgroundUpdate = yes\n", "BackgroundUpdate must be 0 or 1"},
        {"no update name", "InfoFile = tiny.info\nVersionNew = 2\nDownloadURL_UPDATE = http://h/u\n",
         "NameOfUpdateFile is missing"},
        {"update named as the description",
         "InfoFile = tiny.info\nVersionNew = 2\nDownloadURL_UPDATE = http://h/u\nNameOfUpdateFile = "
         "TINY.info\n",
         "name the same file"},
        {"forced notice without the notice", update + "RequestConfirmationBeforeInstallForce = 1\n",
         "RequestConfirmationBeforeInstallForce = 1 needs RequestConfirmationBeforeInstall = 1"},
        {"unknown shut-down method", update + "ShutDownMethod = Using WM_KILL\nRunningProcess = a.exe\n",
         "ShutDownMethod must be"},
        {"shut-down without a program", update + "ShutDownMethod = Using WM_CLOSE\n", "needs RunningProcess"},
        {"restart of a program never closed",
         update + "ShutDownMethod = Don't Shut Down\nRestartProcess = 1\n", "RestartProcess = 1 restarts"},
        {"inform key in update mode", update + "InformText = hi\n", "InformText is for inform mode only"},
        {"update key in inform mode", inform + "InformText = hi\nBackgroundUpdate = 1\n",
         "BackgroundUpdate has no use in inform mode"},
        {"inform without text or link", inform, "inform mode shows a text or opens a link"},
        {"inform text twice", inform + "InformText = hi\nInformTextFile = setup.exe\n",
         "InformText or InformTextFile, not both"},
        {"inform text file missing", inform + "InformTextFile = gone.txt\n", "cannot read InformTextFile"},
        {"inform window size", inform + "InformText = hi\nAutoInformH = -3\n", "AutoInformH must be"},
        {"no token", "[Package]\nImage = none\n[Files]\nsetup.exe | setup.exe*\n[Release]\n" + update,
         "set Token in [Agent]"},
        {"nothing to run",
         "[Package]\nImage = none\n[Agent]\nToken = t\n[Files]\nsetup.exe\n[Release]\n" + update,
         "mark its setup program"},
        {"span volumes",
         "[Package]\nImage = none\nVolumeSize = 100000\n[Agent]\nToken = t\n[Files]\n"
         "setup.exe | setup.exe*\n[Release]\n" +
             update,
         "leave out VolumeSize"},
    };
    for (const auto& c : cases) {
        Write("project.ini", c.Project.rfind("[", 0) == 0
                                 ? c.Project
                                 : std::string(kUpdateProject) + "[Release]\n" + c.Project);
        EXPECT_EQ(Run({"release", Path("project.ini"), "-o", Path("site")}), 1) << c.What;
        const std::string err = err_.str();
        EXPECT_EQ(err.rfind("pkgtool: " + Path("project.ini") + ": ", 0), 0u) << c.What << ": " << err;
        EXPECT_NE(err.find(c.Expected), std::string::npos) << c.What << ": " << err;
        EXPECT_EQ(err.find('\n'), err.size() - 1) << c.What << ": " << err;
        EXPECT_FALSE(fs::exists(Path("site"))) << c.What;
    }
    // Errors of a line name it.
    Write("project.ini", std::string(kUpdateProject) + "[Release]\n" + update + "Stamp = x\n");
    EXPECT_EQ(Run({"release", Path("project.ini"), "-o", Path("site")}), 1);
    EXPECT_NE(err_.str().find(": line 12: Stamp must be"), std::string::npos) << err_.str();
    // No output folder at all.
    Write("project.ini", std::string(kUpdateProject) + "[Release]\n" + update);
    EXPECT_EQ(Run({"release", Path("project.ini")}), 1);
    EXPECT_NE(err_.str().find("no output folder"), std::string::npos) << err_.str();
}

}  // namespace
