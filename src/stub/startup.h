// Process-wide start-up state of the launcher (one of each, kept until exit).
#pragma once

#include <string>

class TGFileInfo;

// The main package reader over the program's own file; nullptr before the
// entry created it and after it was freed (and while no reader is built in).
TGFileInfo* MainFileInfo();

// Package values the start-up needs; all off / empty for a file without package.
struct TStartupPackage {
    bool AutoUpdateProg = false;
    bool TraceLogEnabled = false;
    bool SpanCdRelaunch = false;
    std::string AgentExeName;
};

// Creates the main reader over the file and reads its start-up values.
TStartupPackage OpenMainFileInfo(const std::string& programPath);
void FreeMainFileInfo();

// The agent timer count and the stop countdown live in autoupdate/agent_control.h,
// the exit code of the process in setup/setup_flow.h (SetupExitCode).
extern bool AgentMode;               // the process is an update agent
extern std::string MainWindowClass;  // class of the main window, the single-instance key
extern bool XExeIsRunning;           // an X_ copy of this agent was found running at dispatch
