#include "stub/stub_win.h"

#include "base/paths.h"

#include "autoupdate/agent_scheduler.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/test_mode.h"
#include "lang/runtime_folders.h"
#include "lang/sysinfo.h"
#include "base/lists.h"
#include "package/package_reader.h"
#include "setup/setup_flow.h"
#include "stub/dispatch.h"
#include "stub/main_window.h"
#include "stub/self_copy.h"
#include "stub/startup.h"
#include "base/switches.h"
#include "base/trace_log.h"
#include "ui/msgbox.h"
#include "ui/window_services.h"
#include "stub/setup_wiring.h"
#include "autoupdate/update_decision.h"
#include "net/http_client.h"

#include <windows.h>

#include "base/debug_stream.h"

namespace {

TStartupPackage g_startup_package;

bool TopLevelWindowExists(const std::string& windowClass)
{
    return FindWindowA(windowClass.c_str(), nullptr) != nullptr;
}

std::string MainLangString(const std::string& key, const std::string& def)
{
    const TGFileInfo* reader = MainFileInfo();
    return reader ? reader->GetLangString(key, def) : def;
}

int MainLangCharset()
{
    const TGFileInfo* reader = MainFileInfo();
    return reader ? reader->GetLangCharset() : 0;
}

void RunMainWindow()
{
    TMainWindowHooks hooks = MainWindowHooks();
    // The program's setup dependencies, built once here, go to the setup step.
    hooks.RunSetupStep = [deps = ProgramSetupDeps()](HWND window, UINT_PTR timer_id) {
        RunSetupStep(deps, window, timer_id);
    };
    if (AgentMode) {
        InstallSchedulerRequests();
        hooks.AgentTimerStep = [deps = ProgramAgentDeps()](HWND) { AgentTimerStep(deps); };
    }
    // The switch reader and the AutoPlay message stay the window's defaults.
    hooks.LangString = MainLangString;
    hooks.LangCharset = MainLangCharset;
    SetMainWindowHooks(hooks);
    StubWin::WinMain(AgentMode, MainWindowClass);
}

// The description files are named by the package's agent block and lie in
// the program's folder (the accessors' default); an agent's main window
// answers requests from them.
void PrepareAgentFiles()
{
    if (const TGFileInfo* reader = MainFileInfo())
        SetAgentInfoName(ListItem(reader->AgentBlock(), kAgentInfoFile));
}

}  // namespace

void InstallFolderMessages()
{
    SetRuntimeFolderNotFoundAction([](const std::string& text) { MsgError(0, text, "", 0, ""); });
}

// The update decision asks the HTTP client for the connection and a length.
void InstallUpdateNetwork()
{
    TUpdateNetwork network;
    network.IsInternetConnected = [] { return IsInternetConnected(); };
    network.HttpFileSize = HTTP_GetFileSize;
    SetUpdateNetwork(network);
}

void DoRunStubWin()
{
    TDispatchInput in;
    in.AgentMode = AgentMode;
    in.ProgramPath = ProgramPath();
    in.AgentExeName = g_startup_package.AgentExeName;
    in.SpanCdRelaunch = g_startup_package.SpanCdRelaunch;
    in.SpanCdLvl = GetSwitchInt(SwitchSpanCdLvl, SwitchSpanCdLvlDefault);

    const TDispatchPlan plan = PlanDispatch(in);
    MainWindowClass = plan.WindowClass;

    TDispatchActions act;
    // The copy logic reads the answer for the X_ copy's class as process state.
    act.WindowExists = [xClass = plan.XCopyClass](const std::string& c) {
        const bool exists = TopLevelWindowExists(c);
        if (c == xClass) XExeIsRunning = exists;
        return exists;
    };
    act.Trace = [](const std::string& m) { Trace(m); };
    act.CreateAndRun_X_Exe = CreateAndRun_X_Exe;
    act.CheckTestMode = [] { CheckTestMode(true); };
    act.ApplyTransientSwitch = ApplyTransientSwitch;
    act.RunMainWindow = RunMainWindow;
    act.RelaunchFromTemp = RelaunchFromTemp;
    act.DeleteMySelf = DeleteMySelf;
    act.HandleParamOK = HandleParamOK;
    RunDispatch(in, act);
}

int StubMain()
{
    const std::string commandLine = RawCommandLine();
    const std::string programPath = ProgramPath();
    const DWORD pid = GetCurrentProcessId();

    DebugOut() << pid << " ==== STUB START ====> " << commandLine << "<" << DebugEndl;

    g_startup_package = OpenMainFileInfo(programPath);
    AgentMode = g_startup_package.AutoUpdateProg;
    SetTraceEnabled(AgentMode && g_startup_package.TraceLogEnabled);
    if (AgentMode && IsXAgentFile(programPath, g_startup_package.AgentExeName)) SetTraceIndent(" X ");

    Trace("");
    Trace("");
    Trace("=== START === " + programPath);
    Trace("CommandLine=" + commandLine);
    Trace("Agent Version=" + GetExeVersion("", 1, 4));

    PrepareAgentFiles();
    InstallFolderMessages();
    InstallUpdateNetwork();

    DebugOut() << pid << " ==== ThisIs_AutoUpdateProg=" << (AgentMode ? "TRUE" : "FALSE") << DebugEndl;

    DoRunStubWin();

    FreeMainFileInfo();

    DebugOut() << pid << " ==== STUB END ====> " << commandLine << "<" << DebugEndl;
    DebugOut() << DebugEndl;
    Trace("=== EXIT === " + programPath);
    Trace("");
    return static_cast<int>(SetupExitCode());
}
