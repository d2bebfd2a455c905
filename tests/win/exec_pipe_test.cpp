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
    bool Result = false;
    std::string Error, Output;
    unsigned long Code = 0;
};

TRun RunChild(const std::string& program, const std::string& arguments,
              TPipeOutputCallback callback = nullptr, void* user = nullptr)
{
    TRun r;
    r.Result = RunWithPipes(program, arguments, SW_HIDE, callback, user, 1, r.Error, r.Output, r.Code);
    return r;
}

struct TChunks {
    std::vector<std::string> Chunks;
    bool AbortAtFirst = false;
};

void CollectChunk(void* user, const std::string& chunk, bool& abort)
{
    auto* c = static_cast<TChunks*>(user);
    c->Chunks.push_back(chunk);
    if (c->AbortAtFirst) abort = true;
}

}  // namespace

TEST(RunWithPipes, CollectsBothStreamsConvertedAndTheExitCode)
{
    const std::string child = HelperPath("pipe_child.exe");
    struct Case {
        const char* Code;
        bool Result;
    } cases[] = {{"0", true}, {"3", false}};
    for (const Case& c : cases) {
        TRun r = RunChild(child, std::string(c.Code) + " 100000");
        EXPECT_EQ(r.Result, c.Result) << c.Code;
        EXPECT_EQ(r.Code, std::stoul(c.Code));
        // Every byte arrives, although the child writes far more than one chunk at once.
        const std::string expected = OemToAnsi("OEM:Gr\x81\xE1"
                                               "e\r\n") +
                                     std::string(100000, 'x') + "\r\nEND\r\n";
        EXPECT_EQ(r.Output.size(), expected.size());
        EXPECT_TRUE(r.Output == expected);
        EXPECT_EQ(r.Error, "problem reported\r\n");
    }
}

TEST(RunWithPipes, AccentedOemTextArrivesInTheAnsiCodePage)
{
    if (GetOEMCP() == GetACP()) GTEST_SKIP() << "OEM and ANSI code pages are the same here";
    TRun r = RunChild(HelperPath("pipe_child.exe"), "0 0");
    ASSERT_TRUE(r.Result);
    EXPECT_EQ(r.Output.substr(0, 11), OemToAnsi("OEM:Gr\x81\xE1"
                                                "e\r\n"));
    EXPECT_NE(r.Output.substr(0, 11), std::string("OEM:Gr\x81\xE1"
                                                  "e\r\n"));
}

TEST(RunWithPipes, CallbackSeesEveryChunkAndCanAbort)
{
    const std::string child = HelperPath("pipe_child.exe");
    TChunks seen;
    TRun r = RunChild(child, "0 70000", CollectChunk, &seen);
    EXPECT_TRUE(r.Result);
    std::string joined;
    for (const std::string& c : seen.Chunks) {
        EXPECT_LE(c.size(), kPipeChunkSize);
        joined += c;
    }
    EXPECT_GE(seen.Chunks.size(), 3u);
    EXPECT_EQ(joined.size(), r.Output.size() + r.Error.size());

    // The child blocks on a full pipe while writing this much, so the abort finds it running.
    TChunks aborting;
    aborting.AbortAtFirst = true;
    TRun a = RunChild(child, "0 5000000", CollectChunk, &aborting);
    EXPECT_FALSE(a.Result);
    EXPECT_EQ(a.Code, 255u);
    EXPECT_LT(a.Output.size(), 5000000u);
}

TEST(RunWithPipes, MissingProgramGivesCode21AndTheCommandLineInTheError)
{
    TChunks seen;
    TRun r = RunChild("C:\\no such folder\\missing.exe", "/x", CollectChunk, &seen);
    EXPECT_FALSE(r.Result);
    EXPECT_EQ(r.Code, kExecStartFailedCode);
    const std::string prefix = "\"C:\\no such folder\\missing.exe\" /x --- ";
    EXPECT_EQ(r.Error.substr(0, prefix.size()), prefix);
    EXPECT_GT(r.Error.size(), prefix.size());
    EXPECT_TRUE(r.Output.empty());
    ASSERT_EQ(seen.Chunks.size(), 1u);
    EXPECT_EQ(seen.Chunks[0], r.Error + "\r\n");
}

TEST(RunWithPipes, ProgramPathWithBlanksIsStartedUnquoted)
{
    const std::string folder = MakeTestFolder("pipe test folder");
    const std::string copy = folder + "pipe child.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("pipe_child.exe").c_str(), copy.c_str(), FALSE));
    TRun r = RunChild(copy, "4 10");
    EXPECT_EQ(r.Code, 4u) << r.Error;
    EXPECT_EQ(r.Error, "problem reported\r\n");
    DeleteFileA(copy.c_str());
    RemoveDirectoryA(folder.c_str());
}
