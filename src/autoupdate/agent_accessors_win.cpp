// The agent window wires the request table to the description files.
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/agent_control.h"

void InstallAgentRequestAccessors()
{
    // Entries already set (by the scheduler, or a test) stay as they are.
    const TAgentRequestSeam set = AgentRequestSeam();
    TAgentRequestSeam seam = set;
    if (!set.VersionOriginal) seam.VersionOriginal = GetVersionOriginal;
    if (!set.VersionNew) seam.VersionNew = GetVersionNew;
    if (!set.Stage) seam.Stage = AgentStage;
    if (!set.ProbeInterval) seam.ProbeInterval = GetProbeSecondsInterval;
    if (!set.ReAskInterval) seam.ReAskInterval = GetReAskSecondsInterval;
    if (!set.ProbeLast) seam.ProbeLast = GetProbeSecondsLast;
    if (!set.ReAskLast) seam.ReAskLast = GetReAskSecondsLast;
    // A failed write is not reported to the asking process: the request
    // answers 0 either way.
    if (!set.SetProbeInterval)
        seam.SetProbeInterval = [](int64_t seconds) { SetProbeSecondsInterval(seconds); };
    if (!set.SetReAskInterval)
        seam.SetReAskInterval = [](int64_t seconds) { SetReAskSecondsInterval(seconds); };
    if (!set.SetProbeLast) seam.SetProbeLast = [](int64_t time) { SetProbeSecondsLast(time); };
    if (!set.SetReAskLast) seam.SetReAskLast = [](int64_t time) { SetReAskSecondsLast(time); };
    // Slots keep the low byte of the value.
    if (!set.SetTransientSlot)
        seam.SetTransientSlot = [](int slot, int value) {
            SetTransientSlot(slot, static_cast<uint8_t>(value));
        };
    SetAgentRequestSeam(seam);
}
