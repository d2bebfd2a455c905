#include "process/process_viewer.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "proc_test_support.h"

namespace {

// Copies of the helpers in a folder whose name and file names hold blanks.
class ProcessViewerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder_ = MakeTestFolder("proc viewer test");
        CopyFileA(HelperPath("proc_owner_gui.exe").c_str(), Owner().c_str(), FALSE);
        CopyFileA(HelperPath("proc_hidden_gui.exe").c_str(), Hidden().c_str(), FALSE);
        CopyFileA(HelperPath("proc_no_window_gui.exe").c_str(), NoWindow().c_str(), FALSE);
    }

    static std::string Owner() { return folder_ + "proc owner window copy.exe"; }
    static std::string Hidden() { return folder_ + "proc hidden windows copy.exe"; }
    static std::string NoWindow() { return folder_ + "proc no window copy.exe"; }
    static std::string Quoted(const std::string& path) { return " \"" + path + "\" "; }
    static std::string Missing() { return folder_ + "not started.exe"; }

    static std::string folder_;
};

std::string ProcessViewerTest::folder_;

bool ListHas(const std::string& list, const std::string& item)
{
    std::string upperList = list, upperItem = "|" + item + "|";
    CharUpperA(upperList.data());
    CharUpperA(upperItem.data());
    return upperList.find(upperItem) != std::string::npos;
}

}  // namespace

TEST_F(ProcessViewerTest, EachLookupMethodFindsTheProgramByPathQuotedOrNot)
{
    TStartedProgram owner(Owner());
    ASSERT_TRUE(owner.WaitWindows(2));  // fully started, modules loaded
    const unsigned long id = owner.Id();
    for (const std::string& path : {Owner(), Quoted(Owner())}) {
        EXPECT_EQ(FindProcessIdByProcessStatus(path, false), id) << path;
        EXPECT_EQ(FindProcessIdByProcessStatus(path, true), id) << path;
        EXPECT_EQ(FindProcessId(path, false), id) << path;
    }
    // The bare file name matches unless the whole path is asked for.
    EXPECT_EQ(FindProcessIdByProcessStatus("proc owner window copy.exe", false), id);
    EXPECT_EQ(FindProcessIdByProcessStatus("proc owner window copy.exe", true), 0u);
    // The NT family's snapshot holds bare file names (the 9x family's holds full paths).
    EXPECT_EQ(FindProcessIdBySnapshot(" \"PROC OWNER WINDOW COPY.EXE\"", false), id);
    // Another folder with the same file name is a different program for a full-path match.
    EXPECT_EQ(FindProcessIdByProcessStatus("C:\\elsewhere\\proc owner window copy.exe", true), 0u);
    for (const std::string& path : {Missing(), std::string("")}) {
        EXPECT_EQ(FindProcessIdByProcessStatus(path, false), 0u) << path;
        EXPECT_EQ(FindProcessIdBySnapshot(path, false), 0u) << path;
        EXPECT_EQ(FindProcessId(path, false), 0u) << path;
    }
}

TEST_F(ProcessViewerTest, TaskListMethodFindsTheProgramWhereTheSystemListsTasks)
{
    TStartedProgram owner(Owner());
    ASSERT_TRUE(owner.WaitWindows(2));
    const unsigned long id = FindProcessIdByTaskList(Quoted(Owner()));
    if (id == 0)
        GTEST_SKIP() << "this system's tasklist.exe writes no CSV list (Wine); the "
                        "parsing is covered by the native tests on recorded output";
    EXPECT_EQ(id, owner.Id());
    EXPECT_EQ(FindProcessIdByTaskList(Missing()), 0u);
}

TEST_F(ProcessViewerTest, ProcessListsShowNamesIdsAndPaths)
{
    TStartedProgram owner(Owner());
    TStartedProgram quiet(NoWindow());
    ASSERT_TRUE(owner.WaitWindows(2));
    const std::string ownerId = std::to_string(owner.Id());
    const std::string quietId = std::to_string(quiet.Id());

    const std::string byStatus = ProcessListByProcessStatus(false, true);
    EXPECT_TRUE(ListHas(byStatus, "proc owner window copy.exe=" + ownerId)) << byStatus;
    EXPECT_TRUE(ListHas(byStatus, "proc no window copy.exe=" + quietId));
    EXPECT_TRUE(ListHas(ProcessListByProcessStatus(true, true), Owner() + "=" + ownerId));
    EXPECT_TRUE(ListHas(ProcessListByProcessStatus(false, false), "proc owner window copy.exe"));

    // One item per window; a process without windows is missing.
    const std::string byWindows = ProcessListByWindowTable(false, true);
    EXPECT_TRUE(ListHas(byWindows, "proc owner window copy.exe=" + ownerId)) << byWindows;
    EXPECT_FALSE(ListHas(byWindows, "proc no window copy.exe=" + quietId));
    EXPECT_TRUE(ListHas(ProcessListByWindowTable(true, true), Owner() + "=" + ownerId));
}

TEST_F(ProcessViewerTest, RunningTestSeesWindowedProgramsOnly)
{
    TStartedProgram owner(Owner());
    TStartedProgram quiet(NoWindow());
    ASSERT_TRUE(owner.WaitWindows(2));
    EXPECT_TRUE(IsProgramRunning(Owner()));
    EXPECT_TRUE(IsProgramRunning(Quoted(Owner())));
    EXPECT_FALSE(IsProgramRunning(Missing()));
    EXPECT_FALSE(IsProgramRunning(""));
    if (!CurrentOsClass().Xp) {
        EXPECT_FALSE(IsProgramRunning(NoWindow()));
    }
}

TEST_F(ProcessViewerTest, OwnerWindowIsTheMainWindowAndClosesTheProgram)
{
    TStartedProgram owner(Owner());
    ASSERT_TRUE(owner.WaitWindows(2));
    HWND main = static_cast<HWND>(FindMainWindow(Quoted(Owner()), true));
    EXPECT_EQ(main, FindWindowA("VelTestOwnerMain", nullptr));
    ASSERT_NE(main, nullptr);

    EXPECT_TRUE(CloseProgram(Owner(), true, 5000));
    DWORD code = 0;
    ASSERT_TRUE(owner.WaitEnd(5000, code));
    EXPECT_EQ(code, 7u);  // the main window got the close request, not the owned one
    EXPECT_FALSE(IsProgramRunning(Owner()));
}

TEST_F(ProcessViewerTest, InvisibleUntitledWindowThatOwnsItselfStillGetsTheQuit)
{
    TStartedProgram hidden(Hidden());
    ASSERT_TRUE(hidden.WaitWindows(2));
    HWND main = static_cast<HWND>(FindMainWindow(Hidden(), false));
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(GetWindow(main, GW_OWNER), nullptr);
    DWORD windowProcess = 0;
    GetWindowThreadProcessId(main, &windowProcess);
    EXPECT_EQ(windowProcess, hidden.Id());

    EXPECT_TRUE(QuitProgram(Hidden(), false));
    DWORD code = 0;
    ASSERT_TRUE(hidden.WaitEnd(5000, code));
    EXPECT_EQ(code, 15u);  // wParam 15 of the quit message
}

TEST_F(ProcessViewerTest, ProgramWithoutWindowsGetsNothing)
{
    TStartedProgram quiet(NoWindow());
    ASSERT_TRUE(quiet.Started());
    EXPECT_EQ(FindMainWindow(NoWindow(), false), nullptr);
    EXPECT_FALSE(PostToProgram(NoWindow(), false, WM_CLOSE, 0, 0));
    EXPECT_FALSE(QuitProgram(NoWindow(), false));
    EXPECT_FALSE(CloseProgram(NoWindow(), false, 0));
    EXPECT_TRUE(quiet.Running());
}

TEST_F(ProcessViewerTest, KillEndsOnlyTheNamedRunningProgram)
{
    TStartedProgram owner(Owner());
    TStartedProgram hidden(Hidden());
    ASSERT_TRUE(owner.WaitWindows(2));
    ASSERT_TRUE(hidden.WaitWindows(2));

    EXPECT_FALSE(KillProgram(Missing(), false));
    EXPECT_FALSE(KillProgram(Missing(), true));
    EXPECT_FALSE(KillProgram("C:\\elsewhere\\proc owner window copy.exe", true));
    EXPECT_TRUE(owner.Running());
    EXPECT_TRUE(hidden.Running());

    EXPECT_TRUE(KillProgram(Quoted(Owner()), true));
    DWORD code = 99;
    ASSERT_TRUE(owner.WaitEnd(5000, code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(hidden.Running());

    EXPECT_TRUE(KillProgram(Hidden(), false));
    ASSERT_TRUE(hidden.WaitEnd(5000, code));
    EXPECT_EQ(code, 0u);
}

TEST_F(ProcessViewerTest, WaitProgramEndReturnsWhenTheProgramIsGone)
{
    // Not running: the first test already answers.
    DWORD start = GetTickCount();
    WaitProgramEnd(Missing(), 0);
    EXPECT_LT(GetTickCount() - start, 900u);

    TStartedProgram owner(Owner());
    ASSERT_TRUE(owner.WaitWindows(2));
    start = GetTickCount();
    WaitProgramEnd(Owner(), 0);  // still running: the default limit of about a second
    EXPECT_GE(GetTickCount() - start, 950u);
    EXPECT_TRUE(owner.Running());

    EXPECT_TRUE(QuitProgram(Owner(), true));
    WaitProgramEnd(Quoted(Owner()), 10000);
    EXPECT_FALSE(IsProgramRunning(Owner()));
}

TEST_F(ProcessViewerTest, WaitWindowGoneReturnsAfterTheWindowIsDestroyed)
{
    TStartedProgram owner(Owner());
    ASSERT_TRUE(owner.WaitWindows(2));
    ASSERT_TRUE(CloseProgram(Owner(), false, 0));
    WaitWindowGone("VelTestOwnerMain", "Owner main");
    EXPECT_EQ(FindWindowA("VelTestOwnerMain", nullptr), nullptr);
    WaitWindowGone("VelTestNoSuchClass", "");  // nothing there: returns at once
}
