// The update cycle's rules that need no window: which file names the update
// location may use, the notice texts, the failure texts and the restart
// command.
#include "autoupdate/update_cycle.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kOwn = {"VelAgent.exe", "X_VelAgent.exe", "Other Tool.exe", "VelAgent.info",
                                       "VelAgent.original"};

TEST(UpdateFileName, OneNameThatStaysInTheAgentFolder)
{
    struct Case {
        const char* Key;
        const char* Name;  // "" refused
    };
    for (const Case c : {
             Case{"update.exe", "update.exe"},
             Case{"sub\\update.exe", "update.exe"},
             Case{"..\\..\\x.exe", "x.exe"},
             Case{"../../x.exe", "x.exe"},
             Case{"http://host/dir/update.exe", "update.exe"},
             Case{"C:update.exe", "update.exe"},
             Case{"", ""},
             Case{"dir\\", ""},
             Case{"..", ""},
             Case{"a/..", ""},
             Case{".", ""},
             Case{"*.exe", ""},
             Case{"upd?te.exe", ""},
             Case{"con", ""},
             Case{"NUL.txt", ""},
             Case{"a\"b.exe", ""},
             Case{"a\tb.exe", ""},
             // The agent's own files: its program, its copy, its descriptions.
             Case{"VelAgent.exe", ""},
             Case{"x_velagent.EXE", ""},
             Case{"..\\OTHER TOOL.exe", ""},
             Case{"VelAgent.info", ""},
             Case{"dir/VelAgent.original", ""},
         }) {
        EXPECT_EQ(UpdateFileName(c.Key, kOwn), c.Name) << c.Key;
    }
}

TEST(UpdateFileName, WorkingNameDiffersFromTheFile)
{
    EXPECT_NE(FetchWorkingPath("C:\\a\\update.exe"), "C:\\a\\update.exe");
    EXPECT_EQ(FetchWorkingPath("C:\\a\\update.exe").rfind("C:\\a\\update.exe", 0), 0u);
}

TEST(ShutDownMethod, ExactTextsOnly)
{
    EXPECT_EQ(ParseShutDownMethod("Issue a Message Box"), TShutDownMethod::AskUser);
    EXPECT_EQ(ParseShutDownMethod("Using WM_CLOSE"), TShutDownMethod::Close);
    EXPECT_EQ(ParseShutDownMethod("Using WM_QUIT"), TShutDownMethod::Quit);
    EXPECT_EQ(ParseShutDownMethod("Using Terminate Process"), TShutDownMethod::Terminate);
    EXPECT_EQ(ParseShutDownMethod("Don't Shut Down"), TShutDownMethod::DontShutDown);
    for (const char* other : {"", "using wm_close", "Using WM_CLOSE ", "Dont Shut Down"})
        EXPECT_EQ(ParseShutDownMethod(other), TShutDownMethod::Other) << other;
}

TEST(NoticeTexts, PartsChosenByTheQuestionsAndForceFlags)
{
    TNoticeTexts t;
    t.S11 = "New PROG_NAME. ";
    t.S12 = "[12]";
    t.S13 = "[13]";
    t.S18 = "[18]";
    t.S19 = "[19]";
    t.S14 = "Install PROG_NAME?";
    t.S20 = "Installing PROG_NAME now. prog_name";
    EXPECT_EQ(DownloadNoticeText(t, false, false, "Tool"), "New Tool. [12]");
    EXPECT_EQ(DownloadNoticeText(t, true, false, "Tool"), "New Tool. [13]");
    EXPECT_EQ(DownloadNoticeText(t, false, true, "Tool"), "New Tool. [18]");
    EXPECT_EQ(DownloadNoticeText(t, true, true, "Tool"), "New Tool. [19]");
    EXPECT_EQ(InstallNoticeText(t, false, "Tool"), "Install Tool?");
    EXPECT_EQ(InstallNoticeText(t, true, "Tool"), "Installing Tool now. prog_name");
}

TEST(FetchFailure, AbortFolderOrUrl)
{
    EXPECT_EQ(FetchFailureText("http://h/u.exe", true, "S3", "S4", "S5"), "S3");
    EXPECT_EQ(FetchFailureText("C:\\up\\u.exe", false, "S3", "S4", "S5"), "C:\\up\\u.exe<P><P>S4");
    EXPECT_EQ(FetchFailureText("\\\\srv\\up\\u.exe", false, "S3", "S4", "S5"), "\\\\srv\\up\\u.exe<P><P>S4");
    EXPECT_EQ(FetchFailureText("http://h/u.exe", false, "S3", "S4", "S5"), "http://h/u.exe<P><P>S5");
}

TEST(AgentRestart, CommandQuotesAFolderWithBlanks)
{
    const std::string slots = "|255|1|255|255|255|255|255|255|";
    EXPECT_EQ(AgentRestartCommand("C:\\Tools\\", "agent.exe", slots),
              "C:\\Tools\\agent.exe /_ZZ=99 /WAIT=10 /TRANSIENT=" + slots);
    EXPECT_EQ(AgentRestartCommand("C:\\My Tools", "agent.exe", slots),
              "\"C:\\My Tools\\agent.exe\" /_ZZ=99 /WAIT=10 /TRANSIENT=" + slots);
}

TEST(AgentRestart, OnlyAStoppedProgramIsStartedAgain)
{
    EXPECT_EQ(ShutDownState(false, false), 0);
    EXPECT_EQ(ShutDownState(true, true), 1);
    EXPECT_EQ(ShutDownState(true, false), 2);
}

}  // namespace
