// The setup flow end to end under Wine with packages whose marked program
// points out of the temporary folder, at a program planted there: only an
// extracted program may run, so nothing runs and the extraction fails.
#include "win/setup_test_support.h"

namespace {

using namespace setup_test;

TEST_F(SetupFlowTest, MarkedProgramOutsideTheTempFolderRunsNothing)
{
    // The launcher extracts into %TEMP%\SETUP_<n>; this test's folder is
    // %TEMP%\velmora e2e\<test>. The planted program writes the record when
    // it runs.
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    const std::string planted = work_ + "\\planted.exe";
    const std::string up = "..\\velmora e2e\\" + test + "\\planted.exe";
    struct Case {
        const char* What;
        std::string Name;   // as the record's header holds it
        bool RefusedWrite;  // the record itself is refused too
    };
    const Case cases[] = {
        {"parent reference", up + "*/S", true},
        {"parent reference below a folder", "sub\\..\\" + up + "*", true},
        // "*" outside the name item: the whole header is the main entry, and
        // "|x.txt|..\..\.." climbs out of SETUP_<n> once the path is resolved.
        {"marked header", "x.txt|..\\..\\" + up + "*", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        WriteBytes(planted, fake_);
        DeleteFileA(record_.c_str());
        TVolume p = Package();
        p.File("readme.txt", "hello", Stamp()).File(c.Name, "not the planted program", Stamp());
        WriteBytes(launcher_, p.Build());

        TRun run;
        run.Answer = "OK";
        Run(run);
        ASSERT_TRUE(run.Ended);
        // A refused record is a failed write: the run failed.
        EXPECT_EQ(run.ExitCode, c.RefusedWrite ? 1u : 0u);
        EXPECT_FALSE(Exists(record_)) << "the planted program ran";
        EXPECT_EQ(ReadBytes(planted), fake_);
        ASSERT_EQ(run.Boxes.size(), c.RefusedWrite ? 2u : 1u);
        if (c.RefusedWrite) {
            EXPECT_NE(run.Boxes[0].Text.find("Unable to save Extracted File!"), std::string::npos)
                << run.Boxes[0].Text;
        }
        EXPECT_NE(run.Boxes.back().Text.find("Bad CRC!"), std::string::npos) << run.Boxes.back().Text;
        for (const TSeenBox& box : run.Boxes) EXPECT_TRUE(box.Clicked) << box.Text;
    }
}

}  // namespace
