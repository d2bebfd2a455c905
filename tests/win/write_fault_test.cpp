// The real launcher when the disk fills up during the extraction: the
// temporary folder's files cannot grow past a limit (tests/win/file_size_limit.h).
// The first failed write shows its box; the setup program never runs, the
// launcher ends with the failed write's code and removes its folder.
#include "win/file_size_limit.h"
#include "win/setup_test_support.h"

namespace {

using namespace setup_test;
using write_fault::TFileSizeLimit;

constexpr uint64_t kLimit = 1 << 20;

class FullDisk : public SetupFlowTest {
protected:
    void SetUp() override
    {
        SetupFlowTest::SetUp();
        if (!write_fault::CanLimitFileSize()) GTEST_SKIP() << "needs Wine on x86-64 Linux";
        // The launcher's temporary folder goes below the test's own.
        temp_ = work_ + "\\temp";
        CreateDirectoryA(temp_.c_str(), nullptr);
        for (const char* v : {"TMP", "TEMP"}) {
            char old[MAX_PATH] = {};
            GetEnvironmentVariableA(v, old, MAX_PATH);
            oldTemp_.push_back(old);
            SetEnvironmentVariableA(v, temp_.c_str());
        }
    }
    void TearDown() override
    {
        if (!oldTemp_.empty()) {
            SetEnvironmentVariableA("TMP", oldTemp_[0].c_str());
            SetEnvironmentVariableA("TEMP", oldTemp_[1].c_str());
        }
        SetupFlowTest::TearDown();
    }

    // What the temporary folder holds.
    std::vector<std::string> TempContents() const
    {
        std::vector<std::string> names;
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((temp_ + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return names;
        do {
            const std::string name = fd.cFileName;
            if (name != "." && name != "..") names.push_back(name);
        } while (FindNextFileA(h, &fd));
        FindClose(h);
        return names;
    }

    std::string temp_;
    std::vector<std::string> oldTemp_;
};

// The code a write past the limit gets here, as the launcher's writes get it.
DWORD CodeOfAWritePastTheLimit(const std::string& path)
{
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return 0;
    // The write that reaches the limit is cut short; the next one fails.
    const std::string data(kLimit / 4, 'x');
    DWORD code = 0;
    for (int i = 0; i < 8 && code == 0; ++i) {
        DWORD done = 0;
        if (!WriteFile(f, data.data(), static_cast<DWORD>(data.size()), &done, nullptr))
            code = GetLastError();
    }
    CloseHandle(f);
    DeleteFileA(path.c_str());
    return code;
}

TEST_F(FullDisk, AWriteThatFailsRunsNothingEndsWithItsCodeAndRemovesTheFolder)
{
    // A file that inflates past the limit, between the program and a small file.
    TVolume p = Package();
    p.File("fake_setup_gui.exe*/S", fake_, Stamp(0))
        .File("big.bin", std::string(4 * kLimit, '\0'), Stamp(2))
        .File("after.txt", "after", Stamp(4));
    WriteBytes(launcher_, p.Build());
    ASSERT_LT(ReadBytes(launcher_).size(), kLimit);

    // Without the limit the package runs.
    {
        TRun run;
        Run(run);
        ASSERT_TRUE(run.Ended);
        EXPECT_EQ(run.ExitCode, 0u);
        EXPECT_TRUE(run.Boxes.empty());
        ASSERT_TRUE(Exists(record_));
        DeleteFileA(record_.c_str());
        EXPECT_TRUE(TempContents().empty());
    }

    TRun run;
    run.Answer = "OK";
    DWORD code = 0;
    {
        TFileSizeLimit limit(kLimit);
        ASSERT_TRUE(limit.Active());
        code = CodeOfAWritePastTheLimit(work_ + "\\probe.bin");
        ASSERT_NE(code, 0u) << "the limit does not hold";
        RecordProperty("write_error", static_cast<int>(code));
        Run(run);
    }
    ASSERT_TRUE(run.Ended);
    EXPECT_FALSE(Exists(record_)) << "the setup program ran with a file missing";
    EXPECT_EQ(run.ExitCode, code) << "the code of the failed write";
    // One box: the failed write's, with the file and its sizes; no word of a
    // corrupt package.
    ASSERT_EQ(run.Boxes.size(), 1u);
    const std::string& text = run.Boxes[0].Text;
    EXPECT_NE(text.find("\\big.bin\r\n\r\nUnable to save Extracted File!\r\n\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  Data Size: \t4194304 Bytes\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("Bad CRC!"), std::string::npos) << text;
    EXPECT_TRUE(TempContents().empty()) << TempContents()[0];
}

}  // namespace
