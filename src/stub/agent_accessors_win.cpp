// The agent window wires the request table to the description files.
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "stub/agent_control.h"

void InstallAgentRequestAccessors()
{
    // Entries already set (by the scheduler, or a test) stay as they are.
    const TAgentRequestSeam set = AgentRequestSeam();
    TAgentRequestSeam seam = set;
    if (!set.version_original) seam.version_original = GetVersionOriginal;
    if (!set.version_new) seam.version_new = GetVersionNew;
    if (!set.stage) seam.stage = AgentStage;
    if (!set.probe_interval) seam.probe_interval = GetProbeSecondsInterval;
    if (!set.reask_interval) seam.reask_interval = GetReAskSecondsInterval;
    if (!set.probe_last) seam.probe_last = GetProbeSecondsLast;
    if (!set.reask_last) seam.reask_last = GetReAskSecondsLast;
    // A failed write is not reported to the asking process: the request
    // answers 0 either way.
    if (!set.set_probe_interval)
        seam.set_probe_interval = [](int64_t seconds) { SetProbeSecondsInterval(seconds); };
    if (!set.set_reask_interval)
        seam.set_reask_interval = [](int64_t seconds) { SetReAskSecondsInterval(seconds); };
    if (!set.set_probe_last) seam.set_probe_last = [](int64_t time) { SetProbeSecondsLast(time); };
    if (!set.set_reask_last) seam.set_reask_last = [](int64_t time) { SetReAskSecondsLast(time); };
    // Slots keep the low byte of the value.
    if (!set.set_transient_slot)
        seam.set_transient_slot = [](int slot, int value) {
            SetTransientSlot(slot, static_cast<uint8_t>(value));
        };
    SetAgentRequestSeam(seam);
}
