#include "stub/startup.h"

bool AgentMode = false;
std::string MainWindowClass;
bool XExeIsRunning = false;
int64_t AgentTimerCount = -3;
int64_t StopCountdown = -1;
int StubExitCode = 0;
