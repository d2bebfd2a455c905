// Mode dispatch: which path a start of the launcher takes, from the package's
// agent flag, the program's file name, the span-CD settings and the
// single-instance window test. The decision is pure; the paths themselves are
// handed in as actions so that the sequence can be checked without windows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr const char* XAgentPrefix = "X_";

struct TDispatchInput {
    bool AgentMode = false;       // IsAutoUpdateProg of the main reader
    std::string ProgramPath;      // full path of this program
    std::string AgentExeName;     // GetAgentExeName of the main reader
    bool SpanCdRelaunch = false;  // package flag
    int64_t SpanCdLvl = 1;        // "/SpanCdLvl="
};

enum class TStubPath {
    None,            // a window of the class exists: this start only forwards / ends
    CreateXCopy,     // plain agent: make and start the X_ copy
    XAgent,          // X_ agent: test mode, main window, delete itself
    SpanCdRelaunch,  // relaunch from a temporary copy
    MainWindow,      // main window (setup mode, or agent under a third name)
};

struct TDispatchPlan {
    std::string WindowClass;  // also the single-instance key
    std::string XCopyClass;   // class of a running X_ copy
    bool IsPlainAgent = false;
    bool IsXAgent = false;
    bool DeleteAfterMainWindow = false;  // "/SpanCdLvl=2": this is the temporary copy
};

// Whether the file name is the plain / X_ agent name (trimmed, ignoring case).
bool IsPlainAgentFile(const std::string& programPath, const std::string& agentExeName);
bool IsXAgentFile(const std::string& programPath, const std::string& agentExeName);

TDispatchPlan PlanDispatch(const TDispatchInput& in);

// What the dispatch calls; every member must be set.
struct TDispatchActions {
    std::function<bool(const std::string& windowClass)> WindowExists;  // top-level window of the class
    std::function<void(const std::string& message)> Trace;
    std::function<void()> CreateAndRun_X_Exe;
    std::function<void()> CheckTestMode;
    // The X_ agent takes the transient settings it was started with.
    std::function<void()> ApplyTransientSwitch;
    std::function<void()> RunMainWindow;
    std::function<void()> RelaunchFromTemp;
    std::function<void(bool removeFolder, bool shortNames)> DeleteMySelf;
    std::function<bool(bool xCopyRunning)> HandleParamOK;
};

struct TDispatchResult {
    TDispatchPlan Plan;
    bool XCopyRunning = false;
    TStubPath Path = TStubPath::None;
};

// The dispatch sequence: traces, single-instance test, one path, control
// switches of the plain agent.
TDispatchResult RunDispatch(const TDispatchInput& in, const TDispatchActions& act);
