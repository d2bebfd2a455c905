// The setup flow acts on the main window and reads the agent's description
// files through entries that only the program as a whole can fill.
#include <windows.h>

#include "autoupdate/agent_settings.h"
#include "package/package_reader.h"
#include "setup/setup_deps.h"
#include "stub/main_window.h"
#include "stub/setup_wiring.h"
#include "stub/startup.h"

namespace {

bool LauncherIsAgent()
{
    return AgentMode;
}

TSetupLinks DescriptionFileLinks()
{
    TSetupLinks links;
    links.StartUpLink = GetStartUpLink();
    links.CheckLink = GetCheckforNewUpdateLink();
    links.RemoveStartUp = GetRemoveStartUpShortcut();
    links.RemoveCheck = GetRemoveCheckForNewUpdateShortcut();
    return links;
}

void ShowMain(int show_command)
{
    if (HWND w = MainWindowHandle()) ShowWindow(w, show_command);
}

void ShowActivityBar()
{
    if (HWND bar = MainActivityBar()) ShowWindow(bar, SW_SHOW);
}

uintptr_t StatusLabel()
{
    return reinterpret_cast<uintptr_t>(MainStatusLabel());
}

}  // namespace

TSetupDeps ProgramSetupDeps()
{
    TSetupDeps deps = DefaultSetupDeps();
    deps.LauncherIsAgent = LauncherIsAgent;
    deps.ReadLinks = DescriptionFileLinks;
    deps.ShowMainWindow = ShowMain;
    deps.ShowActivityBar = ShowActivityBar;
    deps.StatusLabel = StatusLabel;
    return deps;
}

TAgentDeps ProgramAgentDeps()
{
    TAgentDeps deps;
    deps.Setup = ProgramSetupDeps();
    deps.MainWindow = MainWindowHandle;
    deps.OwnAgentToken = [] {
        const TGFileInfo* own = MainFileInfo();
        return own ? own->GetAgentToken(false) : std::string();
    };
    deps.AgentExeName = [] {
        const TGFileInfo* own = MainFileInfo();
        return own ? own->GetAgentExeName() : std::string();
    };
    deps.UpdateUrl = [] {
        const TGFileInfo* own = MainFileInfo();
        return own ? own->GetUpdateUrl() : std::string();
    };
    deps.OwnSigners = [] {
        const TGFileInfo* own = MainFileInfo();
        return own ? own->GetAgentSigners() : std::string();
    };
    deps.EndAgent = [] {
        if (HWND w = MainWindowHandle()) PostMessageA(w, WM_DESTROY, 0, 0);
    };
    return deps;
}
