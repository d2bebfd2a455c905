// The copies of the launcher at work: the X_ copy of the plain agent and the
// control switches forwarded to it, the Y_ copy of a span-CD setup, and the
// self-delete script.
#include "stub/self_copy.h"

#include "autoupdate/agent_control.h"
#include "autoupdate/agent_settings.h"
#include "base/paths.h"
#include "base/pump.h"
#include "base/text_utils.h"
#include "base/switches.h"
#include "base/trace_log.h"
#include "package/files.h"
#include "process/process_viewer.h"
#include "setup/setup_flow.h"
#include "stub/dispatch.h"
#include "stub/main_window.h"
#include "stub/startup.h"

#include <windows.h>

#include <algorithm>
#include "base/debug_stream.h"

namespace {

// "/WAIT=" beyond a day is taken as a day (the milliseconds must fit an int).
constexpr int64_t kMaxWaitSeconds = 86400;

// Starts the command line hidden; the process is not waited for.
bool StartHidden(const std::string& commandLine)
{
    HANDLE process = StartProgram(commandLine, SW_HIDE);
    if (!process) return false;
    CloseHandle(process);
    return true;
}

// Copies over an existing file, even a read-only one (a copy from a CD).
bool CopyOver(const std::string& from, const std::string& to)
{
    if (FileExists(to)) SetFileAttributesA(to.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

// The main window of the X_ copy: the window of its agent class, the same key
// the dispatch tests. It is hidden and may not be up yet right after the
// copy was started, so this waits for it, bounded, with messages pumped.
HWND WaitForXWindow(const std::string& xCopyPath)
{
    const std::string cls = MainWindowClassName(true, xCopyPath);
    const int64_t end = MilliSecondsNow() + kXWindowWaitMs;
    for (;;) {
        if (HWND window = FindWindowA(cls.c_str(), nullptr)) return window;
        if (MilliSecondsNow() >= end) return nullptr;
        WaitPumping(kXWindowPollMs);
    }
}

// A post to the X_ copy that did not arrive: the debug stream and the trace say so.
void ReportNotPosted(const std::string& what, const std::string& xCopyPath, bool noWindow)
{
    const std::string text = "HandleParamOK: " + what + " not posted to " + xCopyPath +
                             (noWindow ? " - no window of the X_ copy in time" : " - the post failed");
    DebugOut() << GetCurrentProcessId() << " " << text << DebugEndl;
    Trace(text);
}

// Posts to the X_ copy's main window, looked for once, before the first post.
class TXCopyPoster {
public:
    explicit TXCopyPoster(const std::string& xCopyPath) : path_(xCopyPath) {}
    void Post(const std::string& what, UINT message, WPARAM wparam, LPARAM lparam)
    {
        if (!looked_) {
            window_ = WaitForXWindow(path_);
            looked_ = true;
        }
        if (!window_)
            ReportNotPosted(what, path_, true);
        else if (!PostMessageA(window_, message, wparam, lparam))
            ReportNotPosted(what, path_, false);
    }

private:
    std::string path_;
    HWND window_ = nullptr;
    bool looked_ = false;
};

std::string ShortOrLong(const std::string& path)
{
    const std::string shortPath = ShortPathOf(path);
    return shortPath == kNoShortPathMark || shortPath.empty() ? path : shortPath;
}

}  // namespace

void CreateAndRun_X_Exe()
{
    const DWORD pid = GetCurrentProcessId();
    Trace("CreateAndRun_X_Exe() --- Start");
    const std::string zz = GetSwitchStr(SwitchZZ, "");
    DebugOut() << pid << " CreateAndRun_X_Exe-1 " << zz << DebugEndl;
    if (XExeIsRunning && zz != SwitchZZForce) {
        Trace("CreateAndRun_X_Exe() --- End");
        return;
    }
    const std::string program = ProgramPath();
    DebugOut() << pid << " CreateAndRun_X_Exe-2" << DebugEndl;
    const int64_t wait = GetSwitchInt(SwitchWait, SwitchWaitDefault);
    Trace("Wait " + std::to_string(wait) + " SEC");
    if (wait > 0) WaitPumping(static_cast<int>(std::min<int64_t>(wait, kMaxWaitSeconds) * 1000));

    const std::string xCopy = XCopyPath(program);
    CopyOver(program, xCopy);
    Trace("Create X_ File ");
    const std::string commandLine = XCopyCommandLine(
        xCopy, XCopyArguments(GetSwitchStr(SwitchTransient, ""), GetSwitchStr(SwitchDelay, "")));
    Trace("WinExec: " + commandLine);
    StartHidden(commandLine);
    if (!GetArgsText().empty()) {
        const int64_t end = MilliSecondsNow() + 3000;
        while (!IsProgramRunning(xCopy) && MilliSecondsNow() < end) WaitPumping(200);
    }
    Trace("CreateAndRun_X_Exe() --- End");
}

bool HandleParamOK(bool xCopyRunning)
{
    Trace("HandleParamOK() --- Start");
    const std::string xCopy = XCopyPath(ProgramPath());
    const bool xExists = FileExists(xCopy);
    bool acted = false;
    TXCopyPoster poster(xCopy);

    const int64_t stop = GetSwitchInt(SwitchStop, SwitchStopDefault);
    if (stop >= 0 && xExists) {
        Trace("PostProcessMessage(wm_ShutDown) to: " + xCopy);
        poster.Post("/STOP=", kMsgStopCountdown, static_cast<WPARAM>(stop), 0);
        acted = true;
    }
    const std::string wmMsg = GetSwitchStr(SwitchWmMsg, "");
    if (!wmMsg.empty() && xExists) {
        const TControllerTarget target = ParseWmMsg(wmMsg);
        Trace("PostProcessMessage(wm_LocalMsg) to: " + xCopy + " - " + WmMsgList(wmMsg));
        poster.Post("/WM_MSG=", kMsgRegisterController, static_cast<WPARAM>(target.Window),
                    static_cast<LPARAM>(target.Message));
        acted = true;
    }
    const int64_t test = GetSwitchInt(SwitchTest, SwitchTestDefault);
    if (test >= 0 && xExists) {
        Trace("PostProcessMessage(wm_AgentMsg) to: " + xCopy + " - " + "AU_PerformUpdateCycle (" +
              std::to_string(test) + ")");
        poster.Post("/TEST=", kMsgAgentRequest, kReqProbeNow, static_cast<LPARAM>(test));
        // A copy started only for this test ends two ticks after it.
        if (!xCopyRunning && test > 0) poster.Post("/TEST= stop", kMsgStopCountdown, 2, 0);
        acted = true;
    }
    if (!GetSwitchStr(SwitchTransientX, "").empty()) {
        ApplyTransientSwitch();
        acted = true;
    }
    Trace("HandleParamOK() --- End");
    return acted;
}

void ApplyTransientSwitch()
{
    const std::string transient = GetSwitchStr(SwitchTransientX, "");
    if (transient.empty()) return;
    ParseTransientSettings(transient);
    Trace("TransientSettings=" + TransientSettingsText());
}

void RelaunchFromTemp()
{
    const std::string program = ProgramPath();
    const std::string yCopy = YCopyPath(SetupTempFolder(), program);
    CopyOver(program, yCopy);
    StartHidden(YCopyCommandLine(yCopy, GetArgsText(), program));
}

void DeleteMySelf(bool removeFolder, bool shortNames)
{
    TDeleteScript s;
    s.ScriptPath = TempFolder(true) + DeleteScriptName(GetCurrentProcessId());
    s.Program = ProgramPath();
    s.Folder = StripTrailingBackslash(FolderPart(s.Program));
    s.RemoveFolder = removeFolder;
    if (shortNames) {
        // A short name exists only for an existing file.
        SaveFile(s.ScriptPath, "ABC\r\n", 0, false);
        s.Quote = false;
        s.ScriptPath = ShortOrLong(s.ScriptPath);
        s.Program = ShortOrLong(s.Program);
        s.Folder = ShortOrLong(s.Folder);
        DeleteFileA(s.ScriptPath.c_str());
    }
    SetCurrentDirectoryA(TempFolder(false).c_str());
    SaveFile(s.ScriptPath, DeleteScriptText(s), 0, false);
    // The command interpreter runs the script: COMMAND.COM or CMD, whichever the system has.
    char comspec[MAX_PATH] = {};
    const DWORD n = GetEnvironmentVariableA("COMSPEC", comspec, sizeof comspec);
    const std::string shell = n > 0 && n < sizeof comspec ? std::string(comspec, n) : "cmd.exe";
    StartHidden(QuoteProgramPath(shell) + " /C " + QuoteProgramPath(s.ScriptPath));
}
