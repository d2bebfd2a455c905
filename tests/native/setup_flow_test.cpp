// Pure parts of the setup flow: names, megabyte texts, the setup program's
// command line, the space question, the alternative temp drive, the start of
// the setup program (the shell when it asks for elevation) and what a failed
// start reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/setup_flow.h"

namespace {

TEST(SetupTempFolderName, UsesTheLowWordOfTheDosDateTime)
{
    EXPECT_EQ(SetupTempFolderName("C:\\TEMP\\", 0x5A21A000u), "C:\\TEMP\\SETUP_40960");
    EXPECT_EQ(SetupTempFolderName("C:\\T\\", 0x12340000u), "C:\\T\\SETUP_0");
    EXPECT_EQ(SetupTempFolderName("C:\\T\\", 0xFFFFFFFFu), "C:\\T\\SETUP_65535");
    EXPECT_EQ(ThreadTag(4068), "_4068");
}

TEST(FormatMegabytes, DecimalsByMagnitudeAndDotAlways)
{
    struct Case {
        double Bytes;
        const char* Text;
    };
    for (const Case c :
         {Case{0, "0.000"}, Case{-1, "0.000"}, Case{524288, "0.500"}, Case{5.25 * 1048576, "5.25"},
          Case{1048576, "1.00"}, Case{10 * 1048576.0, "10.00"}, Case{10.5 * 1048576, "10.5"},
          Case{256 * 1048576.0, "256.0"}, Case{1, "0.000"}, Case{1048575, "1.000"}}) {
        EXPECT_EQ(FormatMegabytes(c.Bytes), c.Text) << c.Bytes;
    }
}

TEST(RemoveSwitch, TakesTheSwitchItsValueAndTheBlanksUpToTheNextSwitch)
{
    struct Case {
        const char* Line;
        const char* Sw;
        const char* Out;
    };
    for (const Case c : {
             Case{"a.exe /SpanCdLvl=2 /L=1", "/SpanCdLvl=", "a.exe /L=1"},
             Case{"a.exe /L=1 /SpanCdLvl=2", "/SpanCdLvl=", "a.exe /L=1 "},
             Case{"a.exe /SpanDiskFName1=C:\\my dir\\p.exe /hide", "/SpanDiskFName1=", "a.exe /hide"},
             Case{"a.exe /spancdlvl=2 /L=1", "/SpanCdLvl=", "a.exe /spancdlvl=2 /L=1"},     // exact case
             Case{"a.exe /SpanCdLvl=1 /SpanCdLvl=2", "/SpanCdLvl=", "a.exe /SpanCdLvl=2"},  // first only
             Case{"a.exe", "/SpanCdLvl=", "a.exe"},
         }) {
        EXPECT_EQ(RemoveSwitch(c.Line, c.Sw), c.Out) << c.Line;
    }
}

TEST(SplitMainEntry, NameBeforeTheStarParametersAfter)
{
    EXPECT_EQ(SplitMainEntry("setup.exe*/S").FileName, "setup.exe");
    EXPECT_EQ(SplitMainEntry("setup.exe*/S").Parameters, "/S");
    EXPECT_EQ(SplitMainEntry(" setup.exe * /S /Q ").Parameters, "/S /Q");
    EXPECT_EQ(SplitMainEntry("setup.exe*").Parameters, "");
    EXPECT_EQ(SplitMainEntry("setup.exe").FileName, "setup.exe");
    EXPECT_EQ(SplitMainEntry("a*b*c").Parameters, "b*c");
}

TSetupCommand Command(const std::string& entry, const std::string& extra)
{
    TSetupCommand c;
    c.TempFolder = "C:\\TEMP\\SETUP_40960";
    c.MainEntry = entry;
    c.ExtraParameters = extra;
    c.ThreadTag = "_4068";
    c.LauncherPath = "D:\\Downloads\\my setup.exe";
    return c;
}

TEST(BuildSetupCommandLine, LauncherArgumentsFirstThenTheRecordsThenThreadAndOrigin)
{
    const std::string origin = " /OriginExe=\"D:\\Downloads\\my setup.exe\"";
    struct Case {
        const char* Entry;
        const char* Extra;
        std::string Line;
    };
    for (const Case& c : {
             Case{"setup.exe*/S", "/L=1", "C:\\TEMP\\SETUP_40960\\setup.exe /L=1 /S /TH_ID=_4068" + origin},
             Case{"setup.exe", "", "C:\\TEMP\\SETUP_40960\\setup.exe /TH_ID=_4068" + origin},
             Case{"setup.exe*", "", "C:\\TEMP\\SETUP_40960\\setup.exe /TH_ID=_4068" + origin},
             Case{"setup.exe * /S", "", "C:\\TEMP\\SETUP_40960\\setup.exe /S /TH_ID=_4068" + origin},
             Case{"setup.exe", "/hide", "C:\\TEMP\\SETUP_40960\\setup.exe /hide /TH_ID=_4068" + origin},
             // Passed in already: no second one; other letter case is another switch.
             Case{"setup.exe", "/OriginExe=\"X:\\a.exe\"",
                  "C:\\TEMP\\SETUP_40960\\setup.exe /OriginExe=\"X:\\a.exe\" /TH_ID=_4068"},
             Case{"setup.exe", "/originexe=x",
                  "C:\\TEMP\\SETUP_40960\\setup.exe /originexe=x /TH_ID=_4068" + origin},
             // The span switches of a relaunched copy do not reach the setup program.
             Case{"setup.exe*/S", "/SpanCdLvl=2 /SpanDiskFName1=E:\\disk one\\pkg.exe /L=3",
                  "C:\\TEMP\\SETUP_40960\\setup.exe /L=3 /S /TH_ID=_4068" + origin},
             // A program name with a blank is quoted.
             Case{"my setup.exe*/S", "", "\"C:\\TEMP\\SETUP_40960\\my setup.exe\" /S /TH_ID=_4068" + origin},
         }) {
        EXPECT_EQ(BuildSetupCommandLine(Command(c.Entry, c.Extra)), c.Line) << c.Entry << " | " << c.Extra;
    }
}

TEST(BuildSetupCommandLine, AgentAddsAutoUpdateProgAndABlankTempFolderIsQuoted)
{
    TSetupCommand c = Command("upd.exe*/S", "/OriginalInfoFile=\"C:\\A\\x.info\"");
    c.AutoUpdateProg = true;
    c.TempFolder = "C:\\Documents and Settings\\Jo\\Temp\\SETUP_1";
    EXPECT_EQ(BuildSetupCommandLine(c), "\"C:\\Documents and Settings\\Jo\\Temp\\SETUP_1\\upd.exe\" "
                                        "/OriginalInfoFile=\"C:\\A\\x.info\" /S /TH_ID=_4068 "
                                        "/OriginExe=\"D:\\Downloads\\my setup.exe\" /AutoUpdateProg");
}

TEST(SplitCommandLine, ProgramUnquotedAndParametersTrimmed)
{
    struct Case {
        const char* Line;
        const char* Program;
        const char* Parameters;
    };
    for (const Case c : {
             Case{"C:\\T\\setup.exe /S /TH_ID=_1", "C:\\T\\setup.exe", "/S /TH_ID=_1"},
             Case{"\"C:\\my dir\\setup.exe\" /S \"/OriginExe=\\\"x\\\"\"", "C:\\my dir\\setup.exe",
                  "/S \"/OriginExe=\\\"x\\\"\""},
             Case{"\"C:\\my dir\\setup.exe\"", "C:\\my dir\\setup.exe", ""},
             Case{"C:\\T\\setup.exe", "C:\\T\\setup.exe", ""},
             Case{"  C:\\T\\setup.exe   /S  ", "C:\\T\\setup.exe", "/S"},
             Case{"\"C:\\unclosed quote /S", "C:\\unclosed quote /S", ""},
             Case{"", "", ""},
         }) {
        const TCommandLineParts parts = SplitCommandLine(c.Line);
        EXPECT_EQ(parts.Program, c.Program) << c.Line;
        EXPECT_EQ(parts.Parameters, c.Parameters) << c.Line;
    }
}

TEST(FailedStart, ExitCodeIsTheSystemCodeAndNeverZero)
{
    EXPECT_EQ(FailedRunExitCode(2), 2u);
    EXPECT_EQ(FailedRunExitCode(193), 193u);
    EXPECT_EQ(FailedRunExitCode(1223), 1223u);
    EXPECT_EQ(FailedRunExitCode(0), 1u);
    EXPECT_EQ(StartFailureText("C:\\T\\setup.exe", "File not found."),
              "The setup program could not be started:<P><b>C:\\T\\setup.exe</b><P>File not found.");
    EXPECT_EQ(StartFailureText("C:\\T\\setup.exe", ""),
              "The setup program could not be started:<P><b>C:\\T\\setup.exe</b>");
}

// The start of the setup program: CreateProcess, and the shell only when the
// program asks for elevation.
TEST(StartProgramWith, ElevationRequiredGoesThroughTheShellOtherFailuresDoNot)
{
    struct Case {
        const char* What;
        TProcessStart Direct;  // what CreateProcess answers
        TProcessStart Shell;   // what ShellExecuteEx answers
        bool ShellCalled;
        TProcessStart Result;
    };
    const TProcessStart none{};
    for (const Case& c : {
             Case{"started", {0x44, 0}, none, false, {0x44, 0}},
             Case{"missing file", {0, 2}, none, false, {0, 2}},
             Case{"not a program", {0, 193}, none, false, {0, 193}},
             Case{"no code", {0, 0}, none, false, {0, 0}},
             Case{"elevated", {0, kErrorElevationRequired}, {0x88, 0}, true, {0x88, 0}},
             Case{"elevation declined", {0, kErrorElevationRequired}, {0, 1223}, true, {0, 1223}},
             Case{"shell without code", {0, kErrorElevationRequired}, {0, 0}, true, {0, 0}},
         }) {
        std::vector<std::string> calls;
        TStartSteps steps;
        steps.Create = [&](const std::string& line, int show) {
            calls.push_back("create|" + line + "|" + std::to_string(show));
            return c.Direct;
        };
        steps.ShellOpen = [&](const std::string& program, const std::string& parameters, int show) {
            calls.push_back("shell|" + program + "|" + parameters + "|" + std::to_string(show));
            return c.Shell;
        };
        const TProcessStart got =
            StartProgramWith(steps, "\"C:\\my temp\\setup.exe\" /S /TH_ID=_7 /OriginExe=\"D:\\l.exe\"", 5);
        EXPECT_EQ(got.Process, c.Result.Process) << c.What;
        EXPECT_EQ(got.Error, c.Result.Error) << c.What;
        std::vector<std::string> expected{
            "create|\"C:\\my temp\\setup.exe\" /S /TH_ID=_7 /OriginExe=\"D:\\l.exe\"|5"};
        if (c.ShellCalled)
            expected.push_back("shell|C:\\my temp\\setup.exe|/S /TH_ID=_7 /OriginExe=\"D:\\l.exe\"|5");
        EXPECT_EQ(calls, expected) << c.What;
    }
}

TEST(SpaceQuestion, KeyByNoticeFlagAndSpace)
{
    struct Case {
        bool Notice;
        double Required, Free;
        const char* Key;
    };
    for (const Case c : {Case{false, 10, 11, ""}, Case{true, 10, 11, "s2"}, Case{false, 10, 10, "s3"},
                         Case{true, 10, 10, "s3"}, Case{false, 10, -1, "s3"}, Case{false, 0, 0, "s3"}}) {
        EXPECT_EQ(SpaceQuestionKey(c.Notice, c.Required, c.Free), c.Key)
            << c.Notice << " " << c.Required << " " << c.Free;
    }
    EXPECT_FALSE(TempSpaceSuffices(10, 10, true));
    EXPECT_TRUE(TempSpaceSuffices(10, 11, true));
    EXPECT_FALSE(TempSpaceSuffices(10, 11, false));
}

TEST(SpaceQuestion, FillsDriveAndSizesWithExactCase)
{
    const std::string text =
        BuildSpaceQuestion(kLangSpaceShort.Default, kLangSpaceRequired.Default, kLangSpaceAvailable.Default,
                           kLangContinueSetup.Default, DriveText("c:\\temp"), 5.25 * 1048576, -1);
    EXPECT_EQ(text, "Limited Free Space on your Temp Drive! (C:)<P>"
                    "<P>Estimated space required on your Temp drive is: <T>  5.25 MB<P>"
                    "Free space available on your Temp drive is: <T>  0.000 MB<P>"
                    "<P>Continue with Setup?<P>");
    EXPECT_EQ(BuildSpaceQuestion("<drive> <DRIVE><DRIVE>", "", "", "", "D:", 0, 0), "<drive> D:D:");
    EXPECT_EQ(DriveText(""), "");
}

TEST(ChooseAlternativeDrive, MostFreeSpaceStrictlyAndNotTheTempDrive)
{
    struct Case {
        char Temp;
        double C, D, E;
        char Chosen;
    };
    for (const Case x : {Case{'C', 100, 0, 0, 0},        // only C: fixed, temp on it
                         Case{'C', 100, 200, 0, 'D'},    // D: has more
                         Case{'C', 100, 200, 200, 'D'},  // ties keep the earlier letter
                         Case{'C', 0, 0, 0, 0},          // every probe failed
                         Case{'D', 300, 200, 0, 'C'}, Case{'F', 0, 0, 5, 'E'}}) {
        const double noted[3] = {x.C, x.D, x.E};
        EXPECT_EQ(ChooseAlternativeDrive(x.Temp, noted), x.Chosen) << x.Temp << x.C << x.D << x.E;
    }
    EXPECT_EQ(AlternativeRoot('D', false), "D:\\TEMP");
    EXPECT_EQ(AlternativeRoot('D', true), "D:\\TEMP\\TEMP");
}

TEST(IsFlagText, OnlyExactlyOne)
{
    EXPECT_TRUE(IsFlagText("1"));
    for (const char* v : {"", "0", " 1", "1 ", "yes", "true", "11"}) EXPECT_FALSE(IsFlagText(v)) << v;
}

}  // namespace
