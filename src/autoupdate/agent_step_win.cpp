#include "autoupdate/agent_step.h"

// The agent stays resident; its update cycle attaches here.
void AgentTimerStep(HWND) {}
