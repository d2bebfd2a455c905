#include "stub/startup.h"

bool AgentMode = false;
std::string MainWindowClass;
bool XExeIsRunning = false;
