#include "autoupdate/agent_scheduler.h"

#include "autoupdate/agent_control.h"
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/update_cycle.h"
#include "autoupdate/update_decision.h"

namespace {

bool g_busy = false;
bool g_just_fetch = false;

constexpr const char* kTestModeNote =
    "<P><P><T><B>PLEASE NOTE</B> - You are now running in <B>Test Mode</B>!";

void Debug(const TAgentStepActions& act, const std::string& line)
{
    if (act.Debug) act.Debug(line);
}

void RunStep(const TAgentStepActions& act)
{
    if (g_just_fetch) {
        Debug(act, "-------------- JustDownloadInfoFile ---------------");
        g_just_fetch = false;
        if (act.JustDownloadInfoFile) act.JustDownloadInfoFile();
        return;
    }
    if (act.SetMsgBoxFont) act.SetMsgBoxFont();
    SetAgentStage(kAgentStageIdle);
    if (AgentCheckMode() == kCheckRequested) SetAgentCheckMode(kCheckByUser);
    const bool user = AgentCheckMode() == kCheckByUser;
    if (user) SetAgentTimerCount(0);

    const int32_t countdown = StopCountdown();
    if (countdown >= 0) SetStopCountdown(countdown - 1);
    if (countdown == 0) {
        // Nothing more in this step: a probe would pump messages and swallow
        // the quit.
        if (act.PostQuit) act.PostQuit();
        return;
    }

    SetAgentTimerCount(AgentTimerCount() + 1);
    Debug(act, " AutoUpdateTimerCount=" + std::to_string(AgentTimerCount()));
    if (AgentTimerCount() > 0) {
        if (act.CheckTestMode) act.CheckTestMode(false);
        int status = act.ShotTimeStatus ? act.ShotTimeStatus() : 0;
        Debug(act, " ShotTimeStatus=" + std::to_string(status));
        if (status == 2) SetProbingEnabled(false);
        if (status > 0 && (user || GetAskBeforeProbe())) {
            if (act.AskCheckNow) act.AskCheckNow(status);
        }
        if (status > 0 && act.PerformShot) act.PerformShot();
    }
    if (user) SetAgentCheckMode(kCheckAutomatic);
}

}  // namespace

void AgentTimerStepWith(const TAgentStepActions& act)
{
    if (g_busy) return;
    g_busy = true;
    RunStep(act);
    SetAgentStage(kAgentStageIdle);
    g_busy = false;
}

bool AgentStepBusy()
{
    return g_busy;
}

void SetJustFetchFlag(bool flag)
{
    g_just_fetch = flag;
}

bool JustFetchFlag()
{
    return g_just_fetch;
}

void InstallSchedulerRequests()
{
    TAgentRequestSeam seam = AgentRequestSeam();
    seam.ProbeNow = [](int32_t level) {
        SetForceShotFlag(true);
        if (level == 2) SetAgentCheckMode(kCheckRequested);
    };
    seam.JustFetchInfo = [] { SetJustFetchFlag(true); };
    SetAgentRequestSeam(seam);
}

std::string CheckNowText(const std::string& s22, const std::string& s23, const std::string& s24,
                         const std::string& location, bool testMode, const std::string& programName)
{
    const bool drivePath = location.size() < 2 || location[1] == ':';
    return ReplaceProgName(s22 + (drivePath ? "" : s23) + s24 + (testMode ? kTestModeNote : ""), programName);
}
