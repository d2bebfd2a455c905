// Portable decisions of the main window: child positions, class name, the
// two-step close, the request table of message 1125 and the notifications.
#include <gtest/gtest.h>

#include <vector>

#include "net/download_abort.h"
#include "autoupdate/agent_control.h"
#include "stub/main_window.h"

namespace {

TEST(MainWindowLayout, RightToLeftCharsetsSwapLabelAndActivityBar)
{
    struct Case {
        int Charset;
        int LabelX;
        int ActivityX;
    };
    for (const Case c :
         {Case{0, 70, 416}, Case{162, 70, 416}, Case{177, 122, 70}, Case{178, 122, 70}, Case{179, 70, 416}}) {
        const TMainWindowLayout l = MainWindowLayout(c.Charset);
        EXPECT_EQ(l.Label.X, c.LabelX) << c.Charset;
        EXPECT_EQ(l.Activity.X, c.ActivityX) << c.Charset;
        // What does not depend on the charset.
        EXPECT_EQ(l.Label.Y, 20);
        EXPECT_EQ(l.Label.Width, 340);
        EXPECT_EQ(l.Label.Height, 18);
        EXPECT_EQ(l.Progress.X, 70);
        EXPECT_EQ(l.Progress.Y, 38);
        EXPECT_EQ(l.Progress.Width, 392);
        EXPECT_EQ(l.Progress.Height, 13);
        EXPECT_EQ(l.Activity.Y, 20);
        EXPECT_EQ(l.Activity.Width, 46);
        EXPECT_EQ(l.Activity.Height, 13);
    }
}

TEST(MainWindowLayout, CentresInTheWorkArea)
{
    int x = 0, y = 0;
    CenterInWorkArea(0, 0, 1280, 1024, x, y);
    EXPECT_EQ(x, (1280 - 492) / 2);
    EXPECT_EQ(y, (1024 - 110) / 2);
    CenterInWorkArea(100, 50, 1100, 850, x, y);  // a task bar on the left and top
    EXPECT_EQ(x, 100 + (1000 - 492) / 2);
    EXPECT_EQ(y, 50 + (800 - 110) / 2);
}

TEST(MainWindowClassName, PathInSetupModeAgentNameInAgentMode)
{
    EXPECT_EQ(MainWindowClassName(false, "C:\\Dl\\setup.v2.exe"), "C:\\Dl\\setup.v2.exe");
    EXPECT_EQ(MainWindowClassName(true, "C:\\Prog\\X_Agent.v2.exe"), ".AutoUpdate.X_Agent.v2");
    EXPECT_EQ(MainWindowClassName(true, "Agent"), ".AutoUpdate.Agent");
}

TEST(CloseMainWindow, FirstRequestOnlyAbortsSecondCloses)
{
    SetDownloadAbort(false);
    EXPECT_FALSE(CloseMainWindow());
    EXPECT_TRUE(DownloadAbortRequested());
    EXPECT_TRUE(CloseMainWindow());
    EXPECT_TRUE(CloseMainWindow());
    // An abort already requested by the work itself: the first close closes.
    SetDownloadAbort(true);
    EXPECT_TRUE(CloseMainWindow());
    SetDownloadAbort(false);
}

// A fake agent: what the requests read and what they changed.
struct FakeAgent {
    static inline std::vector<std::pair<const char*, int64_t>> calls;
    static int32_t VersionOriginal() { return 104; }
    static int32_t VersionNew() { return 110; }
    static int32_t Stage() { return 2; }
    static int64_t ProbeInterval() { return 3600; }
    static int64_t ReAskInterval() { return 86400; }
    static int64_t ProbeLast() { return 0x1'0000'0007LL; }  // truncated to 7
    static int64_t ReAskLast() { return -5; }
    static void SetProbeInterval(int64_t v) { calls.push_back({"probe_interval", v}); }
    static void SetReAskInterval(int64_t v) { calls.push_back({"reask_interval", v}); }
    static void SetProbeLast(int64_t v) { calls.push_back({"probe_last", v}); }
    static void SetReAskLast(int64_t v) { calls.push_back({"reask_last", v}); }
    static void SetSlot(int slot, int v) { calls.push_back({"slot", slot * 1000 + v}); }
    static void ProbeNow(int32_t level) { calls.push_back({"probe_now", level}); }
    static void JustFetch() { calls.push_back({"just_fetch", 0}); }

    static TAgentRequestSeam Seam()
    {
        TAgentRequestSeam s;
        s.VersionOriginal = VersionOriginal;
        s.VersionNew = VersionNew;
        s.Stage = Stage;
        s.ProbeInterval = ProbeInterval;
        s.ReAskInterval = ReAskInterval;
        s.ProbeLast = ProbeLast;
        s.ReAskLast = ReAskLast;
        s.SetProbeInterval = SetProbeInterval;
        s.SetReAskInterval = SetReAskInterval;
        s.SetProbeLast = SetProbeLast;
        s.SetReAskLast = SetReAskLast;
        s.SetTransientSlot = SetSlot;
        s.ProbeNow = ProbeNow;
        s.JustFetchInfo = JustFetch;
        return s;
    }
};

class AgentRequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeAgent::calls.clear();
        SetAgentRequestSeam(FakeAgent::Seam());
        SetAgentTimerCount(-3);
        SetStopCountdown(-1);
    }
    void TearDown() override { SetAgentRequestSeam({}); }
};

TEST_F(AgentRequestTest, ReadRequestsAnswerTheValue)
{
    struct Case {
        int32_t Request;
        int32_t Result;
    };
    for (const Case c :
         {Case{4, 104}, Case{5, 110}, Case{7, 2}, Case{8, 3600}, Case{9, 86400}, Case{10, 7}, Case{11, -5},
          Case{99, 0}, Case{0, 0}, Case{6, 0}, Case{16, 0}, Case{26, 0}, Case{19, 0}, Case{33, 0}}) {
        EXPECT_EQ(AgentRequest(c.Request, 12345), c.Result) << c.Request;
    }
    EXPECT_TRUE(FakeAgent::calls.empty()) << "a read request changed something";
}

TEST_F(AgentRequestTest, WriteRequestsChangeOneThingAndAnswerZero)
{
    struct Case {
        int32_t Request;
        int32_t Argument;
        const char* Call;
        int64_t Value;
    };
    for (const Case c :
         {Case{12, 60, "probe_interval", 60}, Case{13, -1, "reask_interval", -1},
          Case{14, -2, "probe_last", 4294967294}, Case{15, 77, "reask_last", 77},
          // A current time (above 2^31 seconds since 1899) arrives unsigned.
          Case{15, static_cast<int32_t>(3900000000u), "reask_last", 3900000000}, Case{20, 1, "slot", 1},
          Case{25, 255, "slot", 5255}, Case{31, 2, "probe_now", 2}, Case{32, 9, "just_fetch", 0}}) {
        FakeAgent::calls.clear();
        EXPECT_EQ(AgentRequest(c.Request, c.Argument), 0) << c.Request;
        ASSERT_EQ(FakeAgent::calls.size(), 1u) << c.Request;
        EXPECT_STREQ(FakeAgent::calls[0].first, c.Call);
        EXPECT_EQ(FakeAgent::calls[0].second, c.Value) << c.Request;
    }
}

TEST_F(AgentRequestTest, StopCountdownAndProbeNowActOnTheRunCounters)
{
    EXPECT_EQ(AgentRequest(30, 5), 0);
    EXPECT_EQ(StopCountdown(), 5);
    EXPECT_EQ(AgentRequest(31, 1), 0);
    EXPECT_EQ(AgentTimerCount(), 1);  // raised from -3
    SetAgentTimerCount(7);
    AgentRequest(31, 0);
    EXPECT_EQ(AgentTimerCount(), 7);  // only raised, never lowered
}

TEST(AgentRequest, WithoutAgentModulesEveryRequestGivesZero)
{
    SetAgentRequestSeam({});
    for (int32_t r : {4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 20, 25, 32, 99})
        EXPECT_EQ(AgentRequest(r, 3), 0) << r;
}

struct Posted {
    uintptr_t Window;
    uint32_t Message;
    uintptr_t Wparam;
    intptr_t Lparam;
};
std::vector<Posted> g_posted;
void FakePoster(uintptr_t w, uint32_t m, uintptr_t wp, intptr_t lp)
{
    g_posted.push_back({w, m, wp, lp});
}

TEST(NotifyController, PostsOnlyWhenWindowAndMessageAreSet)
{
    g_posted.clear();
    SetNotifyPoster(FakePoster);
    SetController(0, 0);
    NotifyController(kNotifyInfoFile, 1);
    SetController(0x1234, 0);
    NotifyController(kNotifyInfoFile, 1);
    SetController(0, 0x8001);
    NotifyController(kNotifyInfoFile, 1);
    EXPECT_TRUE(g_posted.empty());

    SetController(0x1234, 0x8001);
    NotifyController(kNotifyRunUpdate, 2);
    NotifyController(kNotifyLoopEnded, 0);
    ASSERT_EQ(g_posted.size(), 2u);
    EXPECT_EQ(g_posted[0].Window, 0x1234u);
    EXPECT_EQ(g_posted[0].Message, 0x8001u);
    EXPECT_EQ(g_posted[0].Wparam, 42u);
    EXPECT_EQ(g_posted[0].Lparam, 2);
    EXPECT_EQ(g_posted[1].Wparam, 43u);
    EXPECT_EQ(g_posted[1].Lparam, 0);
    SetController(0, 0);
    SetNotifyPoster(nullptr);
}

}  // namespace
