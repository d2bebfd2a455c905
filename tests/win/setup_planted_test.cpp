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
        const char* what;
        std::string name;   // as the record's header holds it
        bool refusedWrite;  // the record itself is refused too
    };
    const Case cases[] = {
        {"parent reference", up + "*/S", true},
        {"parent reference below a folder", "sub\\..\\" + up + "*", true},
        // "*" outside the name item: the whole header is the main entry, and
        // "|x.txt|..\..\.." climbs out of SETUP_<n> once the path is resolved.
        {"marked header", "x.txt|..\\..\\" + up + "*", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(planted, fake_);
        DeleteFileA(record_.c_str());
        TVolume p = Package();
        p.File("readme.txt", "hello", Stamp()).File(c.name, "not the planted program", Stamp());
        WriteBytes(launcher_, p.Build());

        TRun run;
        run.answer = "OK";
        Run(run);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(run.exit_code, 0u);
        EXPECT_FALSE(Exists(record_)) << "the planted program ran";
        EXPECT_EQ(ReadBytes(planted), fake_);
        ASSERT_EQ(run.boxes.size(), c.refusedWrite ? 2u : 1u);
        if (c.refusedWrite) {
            EXPECT_NE(run.boxes[0].text.find("Unable to save Extracted File!"), std::string::npos)
                << run.boxes[0].text;
        }
        EXPECT_NE(run.boxes.back().text.find("Bad CRC!"), std::string::npos) << run.boxes.back().text;
        for (const TSeenBox& box : run.boxes) EXPECT_TRUE(box.clicked) << box.text;
    }
}

}  // namespace
