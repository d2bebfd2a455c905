#include "stub/dispatch.h"

#include "lang/sysinfo.h"
#include "stub/main_window.h"
#include "base/text_utils.h"
#include "base/paths.h"

namespace {

std::string TrueFalse(bool b)
{
    return b ? "TRUE" : "FALSE";
}

}  // namespace

bool IsPlainAgentFile(const std::string& programPath, const std::string& agentExeName)
{
    const std::string agent = TrimBlanks(agentExeName);
    return !agent.empty() && SameTextTrimmed(FileNamePart(programPath), agent);
}

bool IsXAgentFile(const std::string& programPath, const std::string& agentExeName)
{
    const std::string agent = TrimBlanks(agentExeName);
    return !agent.empty() && SameTextTrimmed(FileNamePart(programPath), XAgentPrefix + agent);
}

TDispatchPlan PlanDispatch(const TDispatchInput& in)
{
    TDispatchPlan plan;
    plan.WindowClass = MainWindowClassName(in.AgentMode, in.ProgramPath);
    plan.XCopyClass = std::string(kAgentClassPrefix) + XAgentPrefix +
                      FileNameWithoutExt(TrimBlanks(in.AgentExeName), false);
    plan.IsPlainAgent = in.AgentMode && IsPlainAgentFile(in.ProgramPath, in.AgentExeName);
    plan.IsXAgent = in.AgentMode && IsXAgentFile(in.ProgramPath, in.AgentExeName);
    plan.DeleteAfterMainWindow = in.SpanCdLvl == 2;
    return plan;
}

TDispatchResult RunDispatch(const TDispatchInput& in, const TDispatchActions& act)
{
    TDispatchResult r;
    act.Trace("DoRunStubWin() --- Start");
    r.Plan = PlanDispatch(in);
    r.XCopyRunning = act.WindowExists(r.Plan.XCopyClass);
    act.Trace("X_ExeIsRunning=" + TrueFalse(r.XCopyRunning));
    act.Trace("ThisIs_Plain_AutoUpdate_Exe=" + TrueFalse(r.Plan.IsPlainAgent));
    act.Trace("ThisIs_X_AutoUpdate_Exe=" + TrueFalse(r.Plan.IsXAgent));

    if (!act.WindowExists(r.Plan.WindowClass)) {
        if (r.Plan.IsPlainAgent) {
            r.Path = TStubPath::CreateXCopy;
            act.CreateAndRun_X_Exe();
        } else if (r.Plan.IsXAgent) {
            r.Path = TStubPath::XAgent;
            act.Trace("CheckTestMode");
            act.CheckTestMode();
            act.ApplyTransientSwitch();
            act.Trace("WinMain");
            act.RunMainWindow();
            act.Trace("DeleteMySelf");
            act.DeleteMySelf(false, false);
        } else if (in.SpanCdRelaunch && in.SpanCdLvl == 1) {
            r.Path = TStubPath::SpanCdRelaunch;
            act.RelaunchFromTemp();
        } else {
            r.Path = TStubPath::MainWindow;
            act.RunMainWindow();
            if (r.Plan.DeleteAfterMainWindow) act.DeleteMySelf(true, false);
        }
    }
    if (r.Plan.IsPlainAgent) act.HandleParamOK(r.XCopyRunning);
    act.Trace("DoRunStubWin() --- End");
    return r;
}
