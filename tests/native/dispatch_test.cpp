#include "stub/dispatch.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <vector>

namespace {

std::string Upper(std::string s)
{
    for (char& ch : s) ch = static_cast<char>(toupper(static_cast<unsigned char>(ch)));
    return s;
}

// Records every call of the dispatch as one line.
struct Recorder {
    std::set<std::string> Windows;  // classes with a running window
    std::vector<std::string> Calls;
    std::vector<std::string> Traces;

    TDispatchActions Actions()
    {
        TDispatchActions a;
        // Window class names compare without regard to case.
        a.WindowExists = [this](const std::string& c) {
            for (const auto& w : Windows)
                if (Upper(w) == Upper(c)) return true;
            return false;
        };
        a.Trace = [this](const std::string& m) { Traces.push_back(m); };
        a.CreateAndRun_X_Exe = [this] { Calls.push_back("CreateAndRun_X_Exe"); };
        a.CheckTestMode = [this] { Calls.push_back("CheckTestMode"); };
        a.ApplyTransientSwitch = [this] { Calls.push_back("ApplyTransientSwitch"); };
        a.RunMainWindow = [this] { Calls.push_back("WinMain"); };
        a.RelaunchFromTemp = [this] { Calls.push_back("RelaunchFromTemp"); };
        a.DeleteMySelf = [this](bool folder, bool shortNames) {
            Calls.push_back(std::string("DeleteMySelf(") + (folder ? "1" : "0") + (shortNames ? "1" : "0") +
                            ")");
        };
        a.HandleParamOK = [this](bool running) {
            Calls.push_back(std::string("HandleParamOK(") + (running ? "1" : "0") + ")");
            return false;
        };
        return a;
    }
};

std::string Join(const std::vector<std::string>& v)
{
    std::string s;
    for (const auto& x : v) s += (s.empty() ? "" : " ") + x;
    return s;
}

const char* const SetupPath = "C:\\Dl\\SetupPath Pack.exe";
const char* const Plain = "C:\\Prog\\Agent.exe";
const char* const XCopy = "C:\\Prog\\x_agent.EXE";
const char* const Third = "C:\\Prog\\Other.exe";
const char* const XClass = ".AutoUpdate.X_Agent";

TEST(Dispatch, PathTable)
{
    struct {
        const char* name;
        bool agent;
        const char* path;
        bool spanCd;
        int64_t lvl;
        std::vector<std::string> windows;
        TStubPath expected;
        const char* calls;
    } cases[] = {
        {"setup", false, SetupPath, false, 1, {}, TStubPath::MainWindow, "WinMain"},
        {"setup second start", false, SetupPath, false, 1, {SetupPath}, TStubPath::None, ""},
        {"span first start", false, SetupPath, true, 1, {}, TStubPath::SpanCdRelaunch, "RelaunchFromTemp"},
        {"span copy", false, SetupPath, true, 2, {}, TStubPath::MainWindow, "WinMain DeleteMySelf(10)"},
        {"lvl 2 without flag",
         false,
         SetupPath,
         false,
         2,
         {},
         TStubPath::MainWindow,
         "WinMain DeleteMySelf(10)"},
        {"span lvl 3", false, SetupPath, true, 3, {}, TStubPath::MainWindow, "WinMain"},
        {"span copy running", false, SetupPath, true, 2, {SetupPath}, TStubPath::None, ""},
        {"plain agent",
         true,
         Plain,
         false,
         1,
         {},
         TStubPath::CreateXCopy,
         "CreateAndRun_X_Exe HandleParamOK(0)"},
        {"plain agent, copy runs",
         true,
         Plain,
         false,
         1,
         {XClass},
         TStubPath::CreateXCopy,
         "CreateAndRun_X_Exe HandleParamOK(1)"},
        {"plain agent running",
         true,
         Plain,
         false,
         1,
         {".AutoUpdate.Agent", XClass},
         TStubPath::None,
         "HandleParamOK(1)"},
        {"X_ agent",
         true,
         XCopy,
         false,
         1,
         {},
         TStubPath::XAgent,
         "CheckTestMode ApplyTransientSwitch WinMain DeleteMySelf(00)"},
        {"X_ agent second", true, XCopy, false, 1, {".AutoUpdate.x_agent"}, TStubPath::None, ""},
        {"third name", true, Third, false, 1, {}, TStubPath::MainWindow, "WinMain"},
        {"agent ignores span flag",
         true,
         Plain,
         true,
         1,
         {},
         TStubPath::CreateXCopy,
         "CreateAndRun_X_Exe HandleParamOK(0)"},
        {"agent name in setup mode", false, Plain, false, 1, {}, TStubPath::MainWindow, "WinMain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder rec;
        rec.Windows.insert(c.windows.begin(), c.windows.end());
        TDispatchInput in;
        in.AgentMode = c.agent;
        in.ProgramPath = c.path;
        in.AgentExeName = " agent.exe ";
        in.SpanCdRelaunch = c.spanCd;
        in.SpanCdLvl = c.lvl;
        const TDispatchResult r = RunDispatch(in, rec.Actions());
        EXPECT_EQ(r.Path, c.expected);
        EXPECT_EQ(Join(rec.Calls), c.calls);
    }
}

TEST(Dispatch, TracesOfTheXAgent)
{
    Recorder rec;
    TDispatchInput in{true, XCopy, "Agent.exe", false, 1};
    RunDispatch(in, rec.Actions());
    EXPECT_EQ(Join(rec.Traces),
              "DoRunStubWin() --- Start X_ExeIsRunning=FALSE ThisIs_Plain_AutoUpdate_Exe=FALSE "
              "ThisIs_X_AutoUpdate_Exe=TRUE CheckTestMode WinMain DeleteMySelf DoRunStubWin() --- End");
}

TEST(Dispatch, TracesOfASecondStart)
{
    Recorder rec;
    rec.Windows = {".AutoUpdate.Agent", XClass};
    TDispatchInput in{true, Plain, "Agent.exe", false, 1};
    RunDispatch(in, rec.Actions());
    EXPECT_EQ(Join(rec.Traces),
              "DoRunStubWin() --- Start X_ExeIsRunning=TRUE ThisIs_Plain_AutoUpdate_Exe=TRUE "
              "ThisIs_X_AutoUpdate_Exe=FALSE DoRunStubWin() --- End");
}

TEST(Dispatch, WindowClasses)
{
    const TDispatchPlan p = PlanDispatch({true, Plain, "Agent.exe", false, 1});
    EXPECT_EQ(p.WindowClass, ".AutoUpdate.Agent");
    EXPECT_EQ(p.XCopyClass, XClass);
    EXPECT_TRUE(p.IsPlainAgent);
    EXPECT_FALSE(p.IsXAgent);
    // Without an agent name nothing is an agent file.
    EXPECT_FALSE(IsPlainAgentFile("C:\\P\\x", ""));
    EXPECT_FALSE(IsXAgentFile("C:\\P\\X_", ""));
}

}  // namespace
