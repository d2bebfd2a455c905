// What a running agent answers and changes when another process asks it
// through message 1125 (stub/agent_control.h): the description-file values
// and the stage of the update cycle.
#pragma once

#include <cstdint>

// The agent's current stage, as request 7 reports it.
enum : int32_t {
  kAgentStageIdle = 0,
  kAgentStageReadingInfo = 1,  // fetching the update description
  kAgentStageDownloading = 2,
  kAgentStageRunningUpdate = 3,
};
int32_t AgentStage();
void SetAgentStage(int32_t stage);

#ifdef _WIN32
// Points the request table at the real accessors of the description files
// (.ORIGINAL and .INFO in the agent folder), the stage and the transient
// slots. Probe-now and fetch-info stay as they are: the scheduler owns them.
void InstallAgentRequestAccessors();
#endif
