#include "autoupdate/agent_requests.h"

namespace {
int32_t gAgentStage = kAgentStageIdle;
}

int32_t AgentStage()
{
    return gAgentStage;
}
void SetAgentStage(int32_t stage)
{
    gAgentStage = stage;
}
