// The update and inform cycles on Windows: files from a folder or over
// HTTP, the user's questions, the shut-down of the running program, the run
// of the update package and the fresh agent afterwards.
#include "autoupdate/update_cycle.h"

#include <windows.h>

#include "base/debug_stream.h"

#include "autoupdate/agent_control.h"
#include "autoupdate/agent_requests.h"
#include "autoupdate/agent_settings.h"
#include "autoupdate/test_mode.h"
#include "autoupdate/update_decision.h"
#include "base/paths.h"
#include "base/system_error.h"
#include "base/text_utils.h"
#include "base/trace_log.h"
#include "lang/macros.h"
#include "lang/status_label.h"
#include "net/download_abort.h"
#include "net/error_page.h"
#include "net/http_client.h"
#include "net/signature.h"
#include "package/files.h"
#include "package/package_reader.h"
#include "package/token.h"
#include "process/process_viewer.h"
#include "setup/setup_flow.h"
#include "ui/inform_window.h"
#include "ui/msgbox.h"
#include "ui/progress.h"

namespace {

constexpr const char* kUpdateFolderPrefix = "SETUP_AU_";

bool UserCheck()
{
    return AgentCheckMode() == kCheckByUser;
}

void DebugStep(const char* cycle, int n)
{
    DebugOut() << " ==== " << cycle << "-" << n << " ====" << DebugEndl;
}

void Log(const std::string& line)
{
    DebugOut() << GetCurrentProcessId() << " " << line << DebugEndl;
    Trace(line);
}

// The agent's message boxes: captions, buttons and charset of the .ORIGINAL file.
void AgentError(intptr_t owner, const std::string& text)
{
    MsgError(owner, text, GetErrorCaption(), GetCharSet(), GetBtnText());
}
void AgentAttention(intptr_t owner, const std::string& text)
{
    MsgAttention(owner, text, GetAttentionCaption(), 0, GetCharSet(), GetBtnText());
}
bool AgentConfirm(intptr_t owner, const std::string& text)
{
    return MsgConfirm(owner, text, GetConfirmCaption(), 0, GetCharSet(), GetBtnText());
}

void ShowMain(const TAgentDeps& deps, int show)
{
    if (HWND w = deps.MainWindow ? deps.MainWindow() : nullptr) ShowWindow(w, show);
}

// Ten steps of three seconds in all: a file copied from a folder arrives at
// once, and the user who watches sees that something happened.
void SimulatedProgress(const TAgentDeps& deps)
{
    StandardProgressSink(kProgressStart, 0, 10, 0, 1, "");
    for (int i = 0; i < 10; ++i) {
        deps.Setup.WaitPumping(300);
        StandardProgressSink(kProgressStep, 0, 0, 0, 0, "");
    }
    StandardProgressSink(kProgressStart, 0, 0, 0, 1, "");
}

void MarkOffered(const TAgentDeps& deps)
{
    if (deps.MarkOffered) deps.MarkOffered();
}

TNoticeTexts NoticeTexts()
{
    TNoticeTexts t;
    t.S11 = GetAgentText("s11");
    t.S12 = GetAgentText("s12");
    t.S13 = GetAgentText("s13");
    t.S14 = GetAgentText("s14");
    t.S18 = GetAgentText("s18");
    t.S19 = GetAgentText("s19");
    t.S20 = GetAgentText("s20");
    return t;
}

// The checks of a complete fetched UPDATE or INFORM file at `working`: ""
// when it may take its place, else why not.
std::string CheckFetched(const std::string& working, int kind)
{
    if (!FileExists(working)) return "The file did not arrive: " + working;
    const int64_t size = FileSizeByName(working);
    const int64_t announced = kind == kFetchUpdate ? GetSizeOfUpdateFile() : GetSizeOfInformFile();
    if (!SizeWithinTolerance(size, announced))
        return "Wrong file size: " + std::to_string(size) + " bytes instead of " + std::to_string(announced);
    return "";
}

// The UPDATE or INFORM file, with the stage and the controller's events around it.
bool FetchCycleFile(const TAgentDeps& deps, const std::string& url, const std::string& key, int kind)
{
    SetAgentStage(kAgentStageDownloading);
    NotifyController(kNotifyUpdateFile, 1);
    std::string error;
    const bool fetched = DownloadFileAU(deps, url, key, kind, error);
    NotifyController(kNotifyUpdateFile, 2);
    return fetched;
}

bool StartCommand(const std::string& command, int show)
{
    HANDLE process = StartProgram(command, show);
    if (!process) {
        Log("Cannot start " + command + " --- " + LastErrorText());
        return false;
    }
    CloseHandle(process);
    return true;
}

// An UPDATE file of an agent whose package names signers must carry a
// signature by one of them; the reason of a refusal goes to the trace.
bool HasNamedSigner(const TAgentDeps& deps, const std::string& localFile, int kind)
{
    const std::string signers = kind == kFetchUpdate && deps.OwnSigners ? deps.OwnSigners() : "";
    if (signers.empty()) return true;
    const std::string why = CheckSigner(localFile, signers);
    if (!why.empty()) Log("ERROR: Update file refused: " + why);
    return why.empty();
}

}  // namespace

std::vector<std::string> AgentOwnFileNames(const TAgentDeps& deps)
{
    const std::string exe = deps.AgentExeName ? deps.AgentExeName() : "";
    return {exe, exe.empty() ? "" : "X_" + exe, FileNamePart(ProgramPath()), FileNamePart(InfoFilePath()),
            FileNamePart(OriginalFilePath())};
}

void SetStatusText(const TAgentDeps& deps, int kind)
{
    static const char* const kKeys[] = {"s31", "s32", "s33"};
    if (kind < kFetchInfo || kind > kFetchInform || !deps.Setup.StatusLabel) return;
    HWND label = reinterpret_cast<HWND>(deps.Setup.StatusLabel());
    if (!label) return;
    SetStatusLabel(label, GetAgentText(kKeys[kind - 1]), GetFontName(), GetCharSet(), GetFontSize());
}

bool IsSameToken(const TAgentDeps& deps, const std::string& localFile, int kind)
{
    const std::string own = deps.OwnAgentToken ? deps.OwnAgentToken() : "";
    if (kind == kFetchUpdate) {
        const TGFileInfo update(localFile);
        return update.HasPackage() && ScrambledTokensMatch(own, update.GetAgentToken(false));
    }
    if (kind != kFetchInform) return false;
    // The INFORM file's token comes out of its split already decoded.
    std::string ownToken, theirs, rest;
    SplitTokenLine(ReadFileToString(localFile), theirs, rest);
    return TryUnscrambleToken(own, ownToken) && !theirs.empty() && theirs == ownToken;
}

bool DownloadFileAU(const TAgentDeps& deps, const std::string& locationIn, const std::string& fileName,
                    int kind, std::string& error)
{
    bool ok = false;
    error.clear();
    std::string content;
    const bool fetchedFile = kind == kFetchUpdate || kind == kFetchInform;
    // One name for the file everywhere: the one that is checked is the one
    // that runs and is deleted later.
    const std::string name =
        fetchedFile ? UpdateFileName(fileName, AgentOwnFileNames(deps)) : FileNamePartAnySlash(fileName);
    if (name.empty()) {
        error = "Refused file name: " + fileName;
        Log("ERROR: " + error);
        return false;
    }
    const bool testMode = TestModeOn();
    const std::string location = testMode ? TestLocation() : locationIn;
    std::string source = FolderSource(location, name);
    DebugOut() << " DownloadFileAU: " << source << DebugEndl;
    Trace("TestMode=" + BoolText(testMode));
    Trace("Download START: " + source);

    const bool show = kind == kFetchUpdate && GetRequestConfirmationBeforeDownload() && !UserCheck();
    if (show) ShowMain(deps, SW_SHOW);
    SetStatusText(deps, kind);

    const std::string local = AgentFolder() + name;
    // UPDATE and INFORM files arrive under a working name and take their
    // place only after their checks.
    const std::string working = fetchedFile ? FetchWorkingPath(local) : "";
    if (FileExists(source)) {
        content = ReadFileToString(source);
        if (fetchedFile && !content.empty()) {
            if (!SaveFile(working, content, FileDosTime(source), false, {}))
                error = "Cannot write " + working + ": " + LastErrorText();
            if (show) SimulatedProgress(deps);
        }
    } else if (!testMode && IsInternetConnected()) {
        deps.Setup.WaitPumping(500);
        source = UrlSource(location, name);
        SetDownloadAbort(false);
        HWND owner = UserCheck() && deps.MainWindow ? deps.MainWindow() : nullptr;
        HTTP_DownloadFile_Incremental(owner, source, working, content, &ProgBar(), error);
        deps.Setup.WaitPumping(500);
    }
    if (show) ShowMain(deps, SW_HIDE);
    Trace("Download END:   " + source);

    if (!fetchedFile) {
        if (error.empty() && !content.empty()) error = ErrorPageMessage("", content, source, "");
        ok = error.empty() && !content.empty();
        // Written whatever it holds: a failed fetch leaves an empty description.
        SaveFile(local, content, 0, false, {});
        if (!error.empty() && error[0] == '3') error.clear();
        return ok;
    }

    if (error.empty()) {
        error = CheckFetched(working, kind);
        if (!error.empty()) {
            Log("ERROR: " + error + " --- " + source);
        } else if (!IsSameToken(deps, working, kind) || !HasNamedSigner(deps, working, kind)) {
            const std::string m = ErrorPageMessage(working, "", source, kTextBadSecretToken);
            DeleteFileA(working.c_str());
            Log("ERROR: " + m);
            AgentError(0, m);
            return false;
        } else if (!MoveFileExA(working.c_str(), local.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            error = "Cannot replace " + local + ": " + LastErrorText();
            Log("ERROR: " + error);
        } else {
            ok = true;
        }
    }
    if (!ok) DeleteFileA(working.c_str());
    if (!error.empty() && source.size() > 2 && GetRequestConfirmationBeforeDownload()) {
        const std::string m = FetchFailureText(source, DownloadAbortRequested(), GetAgentText("s3"),
                                               GetAgentText("s4"), GetAgentText("s5"));
        Trace("ATTENTION: " + m);
        AgentAttention(0, m);
    }
    return ok;
}

bool PerformAutoUpdate(const TAgentDeps& deps)
{
    Trace("PerformAutoUpdate() - START");
    DebugStep("PerformAutoUpdate", 4);
    bool result = false;
    const std::string url = GetDownloadURL_UPDATE();
    const std::string key = GetNameOfUpdateFile();
    const std::string name = UpdateFileName(key, AgentOwnFileNames(deps));
    const bool user = UserCheck();

    [&] {
        if (url.empty() || key.empty()) return;
        if (name.empty()) {
            Log("ERROR: Refused file name: " + key);
            return;
        }
        DebugStep("PerformAutoUpdate", 5);
        const TNoticeTexts texts = NoticeTexts();
        const std::string programName = GetNewProgramName();
        const bool confirmInstall = GetRequestConfirmationBeforeInstall();
        const std::string notice = DownloadNoticeText(
            texts, confirmInstall, GetRequestConfirmationBeforeDownloadForce(), programName);
        bool go = true;
        if (GetRequestConfirmationBeforeDownload() && !user) {
            if (GetRequestConfirmationBeforeDownloadForce())
                AgentAttention(2, notice);
            else
                go = AgentConfirm(0, notice);
            MarkOffered(deps);
            deps.Setup.WaitPumping(500);
        }
        if (!go) return;

        DebugStep("PerformAutoUpdate", 6);
        bool fetched = FetchCycleFile(deps, url, key, kFetchUpdate);
        // An update that arrived counts as offered once this cycle has dealt
        // with it, however that ends; an agent that dies before (killed, the
        // machine switched off) offers it again at its next probe.
        struct TMarkWhenDone {
            const TAgentDeps& Deps;
            bool Armed;
            ~TMarkWhenDone()
            {
                if (Armed) MarkOffered(Deps);
            }
        } markWhenDone{deps, fetched};

        const std::string install =
            InstallNoticeText(texts, GetRequestConfirmationBeforeInstallForce(), programName);
        if (fetched && confirmInstall && !user) {
            if (GetRequestConfirmationBeforeInstallForce())
                AgentAttention(2, install);
            else
                fetched = AgentConfirm(0, install);
            deps.Setup.WaitPumping(100);
        }
        const std::string updateFile = AgentFolder() + name;
        if (!fetched) {
            DeleteFileA(updateFile.c_str());
            return;
        }

        DebugStep("PerformAutoUpdate", 7);
        SetInstallFolders(GetTargetDir(), GetSharedDir(), GetAuxiliaryDir());
        const std::string program = ExpandMacros(GetRunningProcess(), "\\", true, true, true);
        const std::string method = GetShutDownMethod();
        const bool wasRunning = IsProgramRunning(program);
        Trace("Shut Down Process() - START  (" + program + ")  Method: " + method);
        const TShutDownMethod how = ParseShutDownMethod(method);
        if (how == TShutDownMethod::AskUser) {
            const std::string ask = ReplaceProgName(GetAgentText("s15"), FileNamePart(program));
            // Cancel is the way out when the program will not end (or an
            // unrelated program of that name runs).
            while (IsProgramRunning(program)) {
                if (!MsgConfirmOkCancel(0, ask, GetAttentionCaption(), GetCharSet(), GetBtnText())) {
                    Log("Shut Down Process() - cancelled by the user: " + program);
                    DeleteFileA(updateFile.c_str());
                    return;
                }
            }
        }
        DebugStep("PerformAutoUpdate", 8);
        if (how == TShutDownMethod::Close) CloseProgram(program, true, 0);
        if (how == TShutDownMethod::Quit) QuitProgram(program, true);
        if (how == TShutDownMethod::Terminate) KillProgram(program, true);
        if (how != TShutDownMethod::DontShutDown) WaitProgramEnd(program);
        DebugStep("PerformAutoUpdate", 9);
        Trace("Shut Down Process() - END");
        const int state = ShutDownState(wasRunning, wasRunning && IsProgramRunning(program));
        const bool restart = GetRestartProcess() && state == 2;

        const std::string extra = "/OriginalInfoFile=\"" + InfoFilePath() + "\"";
        SetAgentStage(kAgentStageRunningUpdate);
        NotifyController(kNotifyRunUpdate, 1);
        DebugStep("PerformAutoUpdate", 10);
        // A folder of this process's own: the agent copy carries the
        // launcher's file date, so the date-derived setup folder could be a
        // running setup's.
        const std::string temp = MakePrivateTempFolder(kUpdateFolderPrefix);
        if (temp.empty()) {
            Log("ERROR: cannot create a folder for the update in " + TempFolder(true));
        } else {
            const std::string agentName = deps.AgentExeName ? deps.AgentExeName() : "";
            result =
                ExtractAndRunSetup(deps.Setup, temp, updateFile, agentName, !GetBackgroundUpdate(), extra);
            DeleteTree(temp, true);
        }
        DebugStep("PerformAutoUpdate", 11);
        NotifyController(kNotifyRunUpdate, 2);
        if (result) SetVersionOriginal(GetVersionNew());
        DeleteFileA(updateFile.c_str());

        const std::string report = ReplaceProgName(GetAgentText("s16"), programName);
        bool answer = true;
        if (result && (GetInformFinish() || user)) {
            if (restart)
                answer = AgentConfirm(1, report + GetAgentText("s17"));
            else
                AgentAttention(1, report);
        }
        DebugStep("PerformAutoUpdate", 12);
        DebugOut() << " Restart=" << BoolText(restart) << " Answer=" << BoolText(answer)
                   << " Program=" << program << DebugEndl;
        if (answer && restart) StartCommand(QuoteProgramPath(CleanProgramPath(program)), SW_SHOWNORMAL);
    }();

    DebugStep("PerformAutoUpdate", 13);
    Trace("PerformAutoUpdate() - END    Result=" + BoolText(result));
    return result;
}

bool PerformAutoInform(const TAgentDeps& deps)
{
    Trace("PerformAutoInform() - START ");
    DebugStep("PerformAutoInform", 1);
    bool result = false;
    const std::string url = GetDownloadURL_UPDATE();
    const std::string key = GetNameOfInformFile();
    if (!url.empty() && !key.empty()) {
        DebugStep("PerformAutoInform", 2);
        const bool fetched = FetchCycleFile(deps, url, key, kFetchInform);
        if (fetched) {
            MarkOffered(deps);
            DebugStep("PerformAutoInform", 3);
            std::string token, text;
            SplitTokenLine(ReadFileToString(InformFilePath()), token, text);
            HWND owner = deps.MainWindow ? deps.MainWindow() : nullptr;
            result = ShowInformWindow(owner, GetAgentText("s34"), GetAgentText("s35"), GetCharSet(),
                                      GetFontSize(), GetFontName(), GetAutoInformW(), GetAutoInformH(),
                                      GetDownloadURL_INFORM(), text);
            if (result) SetVersionOriginal(GetVersionNew());
            DebugStep("PerformAutoInform", 4);
        }
    }
    Trace("PerformAutoInform() - END " + BoolText(result));
    return result;
}

void ReStartAutoUpdateExe(const TAgentDeps& deps)
{
    Trace(".. ReStartAutoUpdateExe() - Start");
    if (StopCountdown() <= 0) {
        const std::string command = AgentRestartCommand(
            AgentFolder(), deps.AgentExeName ? deps.AgentExeName() : "", TransientSettingsText());
        Trace(".. WinExec - " + command);
        StartCommand(command, SW_HIDE);
        deps.Setup.WaitPumping(1000);
        Trace(".. PostMessage(WM_DESTROY)");
        if (deps.EndAgent) deps.EndAgent();
    }
    Trace(".. ReStartAutoUpdateExe() - End");
}
