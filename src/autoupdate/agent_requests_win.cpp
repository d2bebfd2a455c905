#include "autoupdate/agent_requests.h"

#include "autoupdate/agent_settings.h"
#include "stub/agent_control.h"

void InstallAgentRequestAccessors() {
  TAgentRequestSeam seam = AgentRequestSeam();
  seam.version_original = GetVersionOriginal;
  seam.version_new = GetVersionNew;
  seam.stage = AgentStage;
  seam.probe_interval = GetProbeSecondsInterval;
  seam.reask_interval = GetReAskSecondsInterval;
  seam.probe_last = GetProbeSecondsLast;
  seam.reask_last = GetReAskSecondsLast;
  // A failed write is not reported to the asking process: the request
  // answers 0 either way.
  seam.set_probe_interval = [](int64_t seconds) { SetProbeSecondsInterval(seconds); };
  seam.set_reask_interval = [](int64_t seconds) { SetReAskSecondsInterval(seconds); };
  seam.set_probe_last = [](int64_t time) { SetProbeSecondsLast(time); };
  seam.set_reask_last = [](int64_t time) { SetReAskSecondsLast(time); };
  // Slots keep the low byte of the value.
  seam.set_transient_slot = [](int slot, int value) {
    SetTransientSlot(slot, static_cast<uint8_t>(value));
  };
  SetAgentRequestSeam(seam);
}
