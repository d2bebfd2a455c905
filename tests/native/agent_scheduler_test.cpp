// The agent's timer step on a recorded run: what each tick calls, with the
// counters, the modes, the stop countdown and the busy guard.
#include "autoupdate/agent_scheduler.h"

#include "autoupdate/agent_control.h"
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/update_decision.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class AgentStep : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetAgentTimerCount(-3);
        SetStopCountdown(-1);
        SetAgentCheckMode(kCheckAutomatic);
        SetForceShotFlag(false);
        SetJustFetchFlag(false);
        SetProbingEnabled(true);
        ResetTransientSlots();
        SetAgentRequestSeam({});
        InstallSchedulerRequests();
    }
    void TearDown() override { SetAgentRequestSeam({}); }

    // One step; returns what it called, "|"-joined.
    std::string Step()
    {
        calls_.clear();
        TAgentStepActions act;
        act.Debug = [this](const std::string& line) { calls_.push_back("debug:" + line); };
        act.JustDownloadInfoFile = [this] { calls_.push_back("fetch-info"); };
        act.SetMsgBoxFont = [this] { calls_.push_back("font"); };
        act.PostQuit = [this] { calls_.push_back("quit"); };
        act.CheckTestMode = [this](bool force) { calls_.push_back(force ? "testmode!" : "testmode"); };
        act.ShotTimeStatus = [this] {
            const int s = ForceShotFlag() ? 1 : status_;
            SetForceShotFlag(false);
            return s;
        };
        act.AskCheckNow = [this](int& status) {
            calls_.push_back("ask");
            if (!answer_) status = 0;
        };
        act.PerformShot = [this] {
            calls_.push_back("shot mode=" + std::to_string(AgentCheckMode()));
            if (reenter_) {
                // A tick delivered while the probe pumps messages.
                const std::vector<std::string> outer = calls_;
                Step();
                reentered_ = calls_;
                calls_ = outer;
            }
        };
        AgentTimerStepWith(act);
        std::string joined;
        for (const std::string& c : calls_) joined += (joined.empty() ? "" : "|") + c;
        return joined;
    }

    int status_ = 0;
    bool answer_ = true;
    bool reenter_ = false;
    std::vector<std::string> calls_;
    std::vector<std::string> reentered_;
};

TEST_F(AgentStep, TheFourthTickProbesOnceWhenTheIntervalIsZero)
{
    status_ = 0;
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=-2");
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=-1");
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=0");
    status_ = 2;  // the once-per-run probe
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=1|testmode|debug: ShotTimeStatus=2|shot mode=0");
    EXPECT_FALSE(IsProbingEnabled());
    status_ = 0;
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=2|testmode|debug: ShotTimeStatus=0");
    EXPECT_EQ(AgentStage(), kAgentStageIdle);
}

TEST_F(AgentStep, StopCountdownQuitsInTheThirdStepAndEndsThatStep)
{
    SetAgentTimerCount(5);
    status_ = 1;
    SetStopCountdown(2);  // what message 1123 does
    EXPECT_NE(Step().find("shot"), std::string::npos);
    EXPECT_NE(Step().find("shot"), std::string::npos);
    EXPECT_EQ(Step(), "font|quit") << "no probe after the quit: its waits would swallow it";
    EXPECT_EQ(StopCountdown(), -1);
    EXPECT_EQ(Step().find("quit"), std::string::npos) << "negative: no limit";
}

TEST_F(AgentStep, RequestedCheckAsksProbesAsTheUserAndEndsAutomatic)
{
    status_ = 0;
    AgentRequest(kReqProbeNow, 2);  // the force flag, the count raised, mode 2
    EXPECT_EQ(AgentTimerCount(), 1);
    EXPECT_EQ(AgentCheckMode(), kCheckRequested);
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=1|testmode|debug: ShotTimeStatus=1|ask|shot mode=1");
    EXPECT_EQ(AgentCheckMode(), kCheckAutomatic);

    AgentRequest(kReqProbeNow, 2);
    answer_ = false;
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=1|testmode|debug: ShotTimeStatus=1|ask")
        << "declined: no probe";
}

TEST_F(AgentStep, ForceWithoutUserModeProbesWithoutAskingUnlessSlotZeroAsks)
{
    SetAgentTimerCount(3);
    AgentRequest(kReqProbeNow, 1);
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=4|testmode|debug: ShotTimeStatus=1|shot mode=0");
    SetTransientSlot(kSlotAskBeforeProbe, 1);
    AgentRequest(kReqProbeNow, 1);
    EXPECT_EQ(Step(), "font|debug: AutoUpdateTimerCount=5|testmode|debug: ShotTimeStatus=1|ask|shot mode=0");
}

TEST_F(AgentStep, JustFetchTakesTheWholeStep)
{
    SetAgentTimerCount(5);
    status_ = 1;
    AgentRequest(kReqJustFetchInfo, 0);
    EXPECT_EQ(Step(), "debug:-------------- JustDownloadInfoFile ---------------|fetch-info");
    EXPECT_EQ(AgentTimerCount(), 5);
    EXPECT_NE(Step().find("shot"), std::string::npos);
}

TEST_F(AgentStep, ATickDuringAStepDoesNothing)
{
    SetAgentTimerCount(5);
    status_ = 1;
    reenter_ = true;
    Step();
    EXPECT_TRUE(reentered_.empty());
    EXPECT_FALSE(AgentStepBusy());
}

TEST(CheckNow, TextDropsS23ForADrivePathAndNotesTestMode)
{
    EXPECT_EQ(CheckNowText("Check PROG_NAME ", "[23]", "[24]", "http://h/u", false, "Tool"),
              "Check Tool [23][24]");
    EXPECT_EQ(CheckNowText("A", "[23]", "B", "C:\\updates", false, "Tool"), "AB");
    EXPECT_EQ(CheckNowText("A", "[23]", "B", "", false, "Tool"), "AB");
    EXPECT_EQ(CheckNowText("A", "[23]", "B", "\\\\srv\\up", true, "Tool"),
              "A[23]B<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!");
}

}  // namespace
