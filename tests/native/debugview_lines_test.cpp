#include "debugview/viewer_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TLines = std::vector<std::string>;

TEST(DebugViewLines, ChunksJoinIntoLinesWhateverTheirCut)
{
    // The launcher's chunks: at most 128 characters, cut anywhere, "\r\n" included.
    const std::string text = "12 ==== STUB START ====> \"C:\\a b\\setup.exe\" " + std::string(200, 'x') +
                             "<\n12 second\r\n\n13 third\n";
    const TLines expected = {"12 ==== STUB START ====> \"C:\\a b\\setup.exe\" " + std::string(200, 'x') + "<",
                             "12 second", "", "13 third"};
    for (size_t size : {1u, 2u, 127u, 128u}) {
        TChunkJoiner joiner;
        TLines lines;
        for (size_t at = 0; at < text.size(); at += size)
            for (std::string& line : joiner.Add(text.substr(at, size))) lines.push_back(line);
        EXPECT_EQ(lines, expected) << size;
        EXPECT_EQ(joiner.Pending(), "");
    }
    TChunkJoiner joiner;
    EXPECT_TRUE(joiner.Add("no end yet").empty());
    EXPECT_EQ(joiner.Pending(), "no end yet");
    // A line that never ends is handed on rather than kept forever.
    const TLines cut = joiner.Add(std::string(TChunkJoiner::kLongestLine, 'y'));
    ASSERT_EQ(cut.size(), 1u);
    EXPECT_EQ(cut[0].size(), TChunkJoiner::kLongestLine);
}

TEST(DebugViewLines, TheLeadingProcessIsTheOneMostLinesBeginWith)
{
    struct Case {
        const char* Line;
        unsigned long Pid;
    };
    for (const Case c : {Case{"1234 ==== x", 1234}, Case{"7 y", 7}, Case{" ==== PerformAutoUpdate-4 ====", 0},
                         Case{"1234", 0}, Case{"12a4 z", 0}, Case{"- wm_Destroy -", 0}, Case{"", 0},
                         Case{"12345678901 too long", 0}})
        EXPECT_EQ(LinePid(c.Line), c.Pid) << c.Line;

    TPidTally tally;
    EXPECT_EQ(TallyText(tally), "no process id seen (0 lines)");
    for (const char* line : {"5 a", "9 b", " ==== step", "9 c", "5 d"}) tally.Count(line);
    EXPECT_EQ(tally.Leading(), 5u) << "the first seen wins a tie";
    tally.Count("9 e");
    EXPECT_EQ(tally.Leading(), 9u);
    EXPECT_EQ(TallyText(tally), "process 9: 3 of 6 lines");
}

TEST(DebugViewLines, FilterStampAndArguments)
{
    EXPECT_TRUE(PassesFilter("12 ==== STUB END ====>", "stub end"));
    EXPECT_FALSE(PassesFilter("12 ==== STUB START", "stub end"));
    EXPECT_TRUE(PassesFilter("", ""));
    EXPECT_EQ(StampedLine(9, 5, 7, 42, "12 x"), "09:05:07.042  12 x");

    TViewerOptions o;
    std::string error;
    ASSERT_TRUE(ParseViewerArgs({"--filter", "Update", "--log", "C:\\t\\v.log"}, o, error)) << error;
    EXPECT_EQ(o.Filter, "Update");
    EXPECT_EQ(o.LogPath, "C:\\t\\v.log");
    EXPECT_EQ(TViewerOptions().LogPath, "debugview.log");
    for (const TLines& bad : {TLines{"--filter"}, TLines{"--log", ""}, TLines{"--verbose"}}) {
        TViewerOptions b;
        error.clear();
        EXPECT_FALSE(ParseViewerArgs(bad, b, error)) << bad[0];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
