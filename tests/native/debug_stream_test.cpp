#include "base/debug_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "base/trace_log.h"
#include "base/text_utils.h"

namespace {

// Captures the chunks a device hands on, and restores the default afterwards.
class DebugStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallDebugStream();
        FlushDebugStream();
        SetDebugSink([this](const std::string& chunk) { chunks.push_back(chunk); });
    }
    void TearDown() override
    {
        FlushDebugStream();
        SetDebugSink(nullptr);
    }
    std::vector<std::string> chunks;
};

TEST_F(DebugStreamTest, HandsOnAtLineEndAndWhenFull)
{
    DebugOut() << 1234 << " line " << true << DebugEndl;
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], "1234 line 1\n");

    chunks.clear();
    const std::string long_line(300, 'x');
    DebugOut() << long_line << DebugEndl;
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0], std::string(128, 'x'));
    EXPECT_EQ(chunks[1], std::string(128, 'x'));
    EXPECT_EQ(chunks[2], std::string(44, 'x') + "\n");
}

TEST_F(DebugStreamTest, TextWithoutFlushWaitsInBuffer)
{
    DebugOut() << "partial";
    EXPECT_TRUE(chunks.empty());
    DebugOut() << std::string(121, 'y');  // exactly fills the 128-character buffer
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0].size(), 128u);
    FlushDebugStream();
    EXPECT_EQ(chunks.size(), 1u);  // nothing left: an empty buffer hands nothing on
}

TEST_F(DebugStreamTest, FailingSinkStillEmptiesBuffer)
{
    SetDebugSink([](const std::string&) { throw std::runtime_error("viewer gone"); });
    DebugOut() << "lost" << DebugEndl;
    SetDebugSink([this](const std::string& chunk) { chunks.push_back(chunk); });
    DebugOut() << "next" << DebugEndl;
    ASSERT_EQ(chunks.size(), 1u);
    EXPECT_EQ(chunks[0], "next\n");
}

TEST_F(DebugStreamTest, ReportException)
{
    ReportException(std::runtime_error("boom"), "YieldX");
    ReportException(std::runtime_error("bad file"), "Utils.GetExeVersion()", "a.exe");
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0], " --- YieldX --- boom\n");
    EXPECT_EQ(chunks[1], " --- Utils.GetExeVersion() --- a.exe --- bad file\n");
}

TEST(DebugStream, NormalizeLineEnds)
{
    EXPECT_EQ(NormalizeLineEnds("a\rb\nc\r\nd\n\re"), "a\r\nb\r\nc\r\nd\r\n\r\ne");
}

TEST(DebugStream, FileModesAppendNormalisedText)
{
    const std::string path = ::testing::TempDir() + "vdebug_test.txt";
    std::remove(path.c_str());
    SetDebugFilePath(path);
    const struct {
        int mode;
        const char* chunk;
    } writes[] = {{1, "m1\n"}, {2, "m2\n"}, {3, "m3\n"}, {0, "m0\n"}};
    for (const auto& w : writes) {
        SetDebugMode(w.mode);
        HandOnDebugChunk(w.chunk);
    }
    SetDebugMode(0);
    SetDebugFilePath(kDebugFilePath);
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "m1\r\nm2\r\n");  // mode 3 drops, mode 0 goes to the viewer only
    in.close();
    std::remove(path.c_str());
}

TEST(TraceLog, PathRule)
{
    EXPECT_EQ(TraceLogPathFor("C:\\Prog\\Upd.exe"), "C:\\Prog\\X_Upd.log");
    EXPECT_EQ(TraceLogPathFor("C:\\Prog\\X_Upd.exe"), "C:\\Prog\\X_Upd.log");
    EXPECT_EQ(TraceLogPathFor("C:\\Prog\\x_Upd.exe"), "C:\\Prog\\X_x_Upd.log");
    EXPECT_EQ(TraceLogPathFor("C:\\My.Dir\\agent"), "C:\\My.Dir\\X_agent.log");
    EXPECT_EQ(TraceLogPathFor("C:\\a\\b.c.exe"), "C:\\a\\X_b.c.log");
}

TEST(TraceLog, LineFormat)
{
    EXPECT_EQ(FormatTraceLine("01/02/24 07:05:09", 42, "   ", "WinMain"),
              "01/02/24 07:05:09    42   WinMain\r\n");
    EXPECT_EQ(FormatTraceLine("01/02/24 07:05:09", 123456, " X ", ""), "01/02/24 07:05:09 123456 X \r\n");
}

TEST(TraceLog, WritesOnlyWhenEnabledAndAppends)
{
    const std::string path = ::testing::TempDir() + "X_trace_test.log";
    std::remove(path.c_str());
    SetTraceLogPath(path);
    Trace("disabled");
    EXPECT_FALSE(std::ifstream(path).good());

    SetTraceEnabled(true);
    Trace("first");
    SetTraceIndent(" X ");
    Trace("second");
    Trace();
    SetTraceIndent("   ");
    SetTraceEnabled(false);

    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u);
    const std::string tid = PadLeft(std::to_string(TraceThreadId()), 5);
    // dd/mm/yy HH:NN:SS = 17 characters, then a blank.
    EXPECT_EQ(lines[0].substr(17), " " + tid + "   first\r");
    EXPECT_EQ(lines[1].substr(17), " " + tid + " X second\r");
    EXPECT_EQ(lines[2].substr(17), " " + tid + " X \r");
    EXPECT_EQ(lines[0][2], '/');
    in.close();
    std::remove(path.c_str());
}

}  // namespace
