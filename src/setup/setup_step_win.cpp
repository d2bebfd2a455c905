// The timer step of setup mode: the whole flow, once.
#include "setup/setup_step.h"

#include <windows.h>

#include "package/files.h"
#include "package/package_reader.h"
#include "setup/setup_deps.h"
#include "setup/setup_flow.h"
#include "stub/main_window.h"

namespace {

bool g_step_ran = false;

std::string LauncherPath()
{
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    return std::string(path, n);
}

}  // namespace

void RunSetupStep(HWND main_window)
{
    KillTimer(main_window, MainTimerId);
    // Ticks that arrive while the flow pumps messages find the timer killed;
    // a tick already queued must not start a second run.
    if (g_step_ran) return;
    g_step_ran = true;
    const TSetupDeps& deps = SetupDeps();
    const TGFileInfo own(LauncherPath());
    if (own.WebInstall() && deps.web_install) {
        deps.web_install();
    } else {
        std::string package_path = LauncherPath();
        const std::string span = deps.switch_str("/SpanDiskFName1=", "");
        if (!span.empty()) package_path = span;
        const std::string agent = own.CreateAgent() ? own.GetAgentExeName() : "";
        const bool hidden = deps.has_switch("/hide") || own.IsSilent();
        ExtractAndRunSetup(SetupTempFolder(), package_path, agent, !hidden, deps.args_text());
    }
    DeleteTree(SetupTempFolder(), false);
    PostQuitMessage(0);
}
