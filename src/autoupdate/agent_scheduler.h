// The agent's heartbeat: one step per timer tick of the main window decides
// whether a probe is due and runs it (PerformShot: fetch the update
// description, decide, update or inform), counts down a stop request and
// carries out what other programs asked for through the control messages.
#pragma once

#include <functional>
#include <string>

// What a step does outside its own counters and flags.
struct TAgentStepActions {
    std::function<void(const std::string& line)> Debug;
    std::function<void()> JustDownloadInfoFile;
    std::function<void()> SetMsgBoxFont;  // from the installed version's description
    std::function<void()> PostQuit;
    std::function<void(bool force)> CheckTestMode;
    std::function<int()> ShotTimeStatus;  // 0 none, 1 probe, 2 the once-per-run probe
    std::function<void(int& status)> AskCheckNow;
    std::function<void()> PerformShot;
};

// One timer step. A tick that arrives while a step runs (its boxes, waits and
// downloads pump messages) does nothing.
void AgentTimerStepWith(const TAgentStepActions& act);
bool AgentStepBusy();

// Set by control request 32: the next step only fetches the description.
void SetJustFetchFlag(bool flag);
bool JustFetchFlag();

// The scheduler's entries of the request table: request 31 (probe now; level
// 2 is a check the user asked for) and request 32.
void InstallSchedulerRequests();

// The check-now prompt: s22 + s23 + s24 (s23 left out for a drive path) and,
// in test mode, a note saying so; PROG_NAME is the installed program's name.
std::string CheckNowText(const std::string& s22, const std::string& s23, const std::string& s24,
                         const std::string& location, bool testMode, const std::string& programName);

#ifdef _WIN32
#include <windows.h>

#include "autoupdate/update_cycle.h"

void AgentTimerStep(const TAgentDeps& deps);
void PerformShot(const TAgentDeps& deps);
void JustDownloadInfoFile(const TAgentDeps& deps);
void AskCheckNow(const TAgentDeps& deps, int& status);
#endif
