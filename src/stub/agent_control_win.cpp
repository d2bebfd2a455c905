// The requests that read or write the description files, on their accessors.
#include "autoupdate/agent_settings.h"
#include "stub/agent_control.h"

void InstallDescriptionFileAccessors()
{
    TAgentRequestSeam s = AgentRequestSeam();
    if (!s.version_original) s.version_original = GetVersionOriginal;
    if (!s.version_new) s.version_new = GetVersionNew;
    if (!s.probe_interval) s.probe_interval = GetProbeSecondsInterval;
    if (!s.reask_interval) s.reask_interval = GetReAskSecondsInterval;
    if (!s.probe_last) s.probe_last = GetProbeSecondsLast;
    if (!s.reask_last) s.reask_last = GetReAskSecondsLast;
    if (!s.set_probe_interval) s.set_probe_interval = [](int64_t v) { SetProbeSecondsInterval(v); };
    if (!s.set_reask_interval) s.set_reask_interval = [](int64_t v) { SetReAskSecondsInterval(v); };
    if (!s.set_probe_last) s.set_probe_last = [](int64_t v) { SetProbeSecondsLast(v); };
    if (!s.set_reask_last) s.set_reask_last = [](int64_t v) { SetReAskSecondsLast(v); };
    if (!s.set_transient_slot)
        s.set_transient_slot = [](int slot, int v) { SetTransientSlot(slot, static_cast<uint8_t>(v)); };
    SetAgentRequestSeam(s);
}
