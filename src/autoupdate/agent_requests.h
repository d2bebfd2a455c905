// What a running agent answers and changes when another process asks it
// through message 1125: the description-file values
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
