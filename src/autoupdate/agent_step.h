// The timer step of the update agent.
#pragma once

#include <windows.h>

// One agent tick of the main window: counts the agent timer, probes for and
// performs updates, counts the stop countdown down.
void AgentTimerStep(HWND mainWindow);
