#include "base/debug_stream.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "base/trace_log.h"
#include "base/pump.h"
#include "win/debug_viewer.h"

namespace {

class DebugViewerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        InstallDebugStream();
        FlushDebugStream();
        SetDebugSink(nullptr);
        SetDebugMode(0);
        ViewerWindow::texts.clear();
        ViewerWindow::wparams.clear();
    }
    void TearDown() override { FlushDebugStream(); }
};

TEST_F(DebugViewerTest, NoViewerCostsNothing)
{
    DebugOut() << GetCurrentProcessId() << " nobody listens" << DebugEndl;
    EXPECT_TRUE(ViewerWindow::texts.empty());
}

TEST_F(DebugViewerTest, LongLineArrivesInSeveralMessages)
{
    ViewerWindow viewer;
    ASSERT_TRUE(viewer.ok());
    std::string line;
    for (int i = 0; i < 300; ++i) line += static_cast<char>('a' + i % 26);
    DebugOut() << line << DebugEndl;
    ASSERT_EQ(ViewerWindow::texts.size(), 3u);
    EXPECT_EQ(ViewerWindow::texts[0].size(), 128u);
    EXPECT_EQ(ViewerWindow::texts[0] + ViewerWindow::texts[1] + ViewerWindow::texts[2], line + "\n");
    for (WPARAM w : ViewerWindow::wparams) EXPECT_EQ(w, 1u);
    // The atoms are gone once the viewer has read them.
    EXPECT_EQ(GlobalFindAtomA(ViewerWindow::texts[0].c_str()), 0);
}

TEST_F(DebugViewerTest, LinesFromAnotherThreadReachTheViewer)
{
    ViewerWindow viewer;
    ASSERT_TRUE(viewer.ok());
    std::atomic<bool> finished{false};
    std::thread writer([&] {
        DebugOut() << "from thread " << 42 << DebugEndl;
        finished = true;
    });
    // The viewer lives on this thread: keep it answering while the writer sends.
    for (int i = 0; i < 500 && !finished; ++i) WaitPumping(10);
    writer.join();
    ASSERT_EQ(ViewerWindow::texts.size(), 1u);
    EXPECT_EQ(ViewerWindow::texts[0], "from thread 42\n");
}

TEST(TraceLogFile, WrittenWhileSharedAndByTwoIndents)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string path = TraceLogPathFor(std::string(temp) + "X_VelAgent.exe");
    EXPECT_EQ(path, std::string(temp) + "X_VelAgent.log");
    DeleteFileA(path.c_str());
    SetTraceLogPath(path);
    SetTraceEnabled(true);

    Trace("plain agent");
    // Another process (the X_ copy) has the file open for reading and writing.
    HANDLE other = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    SetTraceIndent(" X ");
    Trace("x agent");
    SetTraceIndent("   ");
    SetTraceEnabled(false);

    char buf[512] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(other, buf, sizeof buf - 1, &got, nullptr));
    CloseHandle(other);
    const std::string content(buf, got);
    const std::string tid = std::to_string(GetCurrentThreadId());
    const std::string tid5 = std::string(tid.size() < 5 ? 5 - tid.size() : 0, ' ') + tid;
    const size_t first_end = content.find("\r\n");
    ASSERT_NE(first_end, std::string::npos);
    EXPECT_EQ(content.substr(17, first_end + 2 - 17), " " + tid5 + "   plain agent\r\n");
    EXPECT_EQ(content.substr(first_end + 2 + 17), " " + tid5 + " X x agent\r\n");
    DeleteFileA(path.c_str());
}

}  // namespace
