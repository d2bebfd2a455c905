#include "process/exec_pipe.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "proc_test_support.h"

namespace {

std::string OemToAnsi(std::string text)
{
    OemToCharBuffA(text.data(), text.data(), static_cast<DWORD>(text.size()));
    return text;
}

struct TRun {
    bool result = false;
    std::string error, output;
    unsigned long code = 0;
};

TRun RunChild(const std::string& program, const std::string& arguments,
              TPipeOutputCallback callback = nullptr, void* user = nullptr)
{
    TRun r;
    r.result = RunWithPipes(program, arguments, SW_HIDE, callback, user, 1, r.error, r.output, r.code);
    return r;
}

struct TChunks {
    std::vector<std::string> chunks;
    bool abortAtFirst = false;
};

void CollectChunk(void* user, const std::string& chunk, bool& abort)
{
    auto* c = static_cast<TChunks*>(user);
    c->chunks.push_back(chunk);
    if (c->abortAtFirst) abort = true;
}

}  // namespace

TEST(RunWithPipes, CollectsBothStreamsConvertedAndTheExitCode)
{
    const std::string child = HelperPath("pipe_child.exe");
    struct Case {
        const char* code;
        bool result;
    } cases[] = {{"0", true}, {"3", false}};
    for (const Case& c : cases) {
        TRun r = RunChild(child, std::string(c.code) + " 100000");
        EXPECT_EQ(r.result, c.result) << c.code;
        EXPECT_EQ(r.code, std::stoul(c.code));
        // Every byte arrives, although the child writes far more than one chunk at once.
        const std::string expected = OemToAnsi("OEM:Gr\x81\xE1"
                                               "e\r\n") +
                                     std::string(100000, 'x') + "\r\nEND\r\n";
        EXPECT_EQ(r.output.size(), expected.size());
        EXPECT_TRUE(r.output == expected);
        EXPECT_EQ(r.error, "problem reported\r\n");
    }
}

TEST(RunWithPipes, AccentedOemTextArrivesInTheAnsiCodePage)
{
    if (GetOEMCP() == GetACP()) GTEST_SKIP() << "OEM and ANSI code pages are the same here";
    TRun r = RunChild(HelperPath("pipe_child.exe"), "0 0");
    ASSERT_TRUE(r.result);
    EXPECT_EQ(r.output.substr(0, 11), OemToAnsi("OEM:Gr\x81\xE1"
                                                "e\r\n"));
    EXPECT_NE(r.output.substr(0, 11), std::string("OEM:Gr\x81\xE1"
                                                  "e\r\n"));
}

TEST(RunWithPipes, CallbackSeesEveryChunkAndCanAbort)
{
    const std::string child = HelperPath("pipe_child.exe");
    TChunks seen;
    TRun r = RunChild(child, "0 70000", CollectChunk, &seen);
    EXPECT_TRUE(r.result);
    std::string joined;
    for (const std::string& c : seen.chunks) {
        EXPECT_LE(c.size(), kPipeChunkSize);
        joined += c;
    }
    EXPECT_GE(seen.chunks.size(), 3u);
    EXPECT_EQ(joined.size(), r.output.size() + r.error.size());

    // The child blocks on a full pipe while writing this much, so the abort finds it running.
    TChunks aborting;
    aborting.abortAtFirst = true;
    TRun a = RunChild(child, "0 5000000", CollectChunk, &aborting);
    EXPECT_FALSE(a.result);
    EXPECT_EQ(a.code, 255u);
    EXPECT_LT(a.output.size(), 5000000u);
}

TEST(RunWithPipes, MissingProgramGivesCode21AndTheCommandLineInTheError)
{
    TChunks seen;
    TRun r = RunChild("C:\\no such folder\\missing.exe", "/x", CollectChunk, &seen);
    EXPECT_FALSE(r.result);
    EXPECT_EQ(r.code, kExecStartFailedCode);
    const std::string prefix = "\"C:\\no such folder\\missing.exe\" /x --- ";
    EXPECT_EQ(r.error.substr(0, prefix.size()), prefix);
    EXPECT_GT(r.error.size(), prefix.size());
    EXPECT_TRUE(r.output.empty());
    ASSERT_EQ(seen.chunks.size(), 1u);
    EXPECT_EQ(seen.chunks[0], r.error + "\r\n");
}

TEST(RunWithPipes, ProgramPathWithBlanksIsStartedUnquoted)
{
    const std::string folder = MakeTestFolder("pipe test folder");
    const std::string copy = folder + "pipe child.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("pipe_child.exe").c_str(), copy.c_str(), FALSE));
    TRun r = RunChild(copy, "4 10");
    EXPECT_EQ(r.code, 4u) << r.error;
    EXPECT_EQ(r.error, "problem reported\r\n");
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
