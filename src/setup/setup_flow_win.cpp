// The setup flow on Windows: temporary folders, space check, extraction, the
// run of the setup program and the clean-up.
#include <windows.h>
#include <shellapi.h>
#include <objbase.h>

#include "base/debug_stream.h"

#include "base/system_error.h"
#include "lang/status_label.h"
#include "base/paths.h"
#include "lang/sysinfo.h"
#include "package/files.h"
#include "package/package_reader.h"
#include "setup/setup_deps.h"
#include "setup/setup_flow.h"
#include "setup/web_install.h"
#include "base/trace_log.h"
#include "ui/progress.h"
#include "base/text_utils.h"
#include "base/pump.h"

namespace {

bool g_setup_temp_made = false;
std::string g_setup_temp;
bool g_alt_drive_checked = false;
bool g_step_ran = false;
std::string g_alt_root;
std::string g_alt_folder;

// Removes an old tree of the same name (attributes reset first), then
// creates the folder with its parents.
void MakeFreshFolder(const std::string& folder)
{
    if (DirectoryExists(folder)) DeleteTree(folder, true);
    ForceDirectories(folder);
}

double FreeBytesOf(const std::string& folder)
{
    return DiskFree(folder);
}

bool AtomExists(const std::string& name)
{
    return GlobalFindAtomA(name.c_str()) != 0;
}

void DeleteAtomByName(const std::string& name)
{
    if (const ATOM atom = GlobalFindAtomA(name.c_str())) GlobalDeleteAtom(atom);
}

void ShowMainWindow(const TSetupDeps& deps, int show)
{
    if (deps.ShowMainWindow) deps.ShowMainWindow(show);
}

TProcessStart StartedOrError(HANDLE process)
{
    if (process) return {reinterpret_cast<TProcessRef>(process), 0};
    return {0, static_cast<uint32_t>(GetLastError())};
}

TProcessStart CreateProcessStep(const std::string& command_line, int show_command)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(show_command);
    PROCESS_INFORMATION pi{};
    std::string line = command_line;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return StartedOrError(nullptr);
    CloseHandle(pi.hThread);
    return StartedOrError(pi.hProcess);
}

TProcessStart ShellExecuteStep(const std::string& program, const std::string& parameters, int show_command)
{
    // The shell may hand the start to COM objects; an apartment of its own
    // for the call, unless the thread has one already.
    const HRESULT com = CoInitialize(nullptr);
    SHELLEXECUTEINFOA sei{};
    sei.cbSize = sizeof sei;
    // The handle to wait on; and the launcher reports a failure itself.
    sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei.lpVerb = "open";
    sei.lpFile = program.c_str();
    sei.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    sei.nShow = show_command;
    const BOOL ok = ShellExecuteExA(&sei);
    const DWORD error = GetLastError();
    if (SUCCEEDED(com)) CoUninitialize();
    if (ok && sei.hProcess) return {reinterpret_cast<TProcessRef>(sei.hProcess), 0};
    // Success without a process handle (the shell passed the file to a
    // program already running): nothing to wait on, so it counts as not
    // started, without a system code.
    return {0, ok ? 0u : static_cast<uint32_t>(error)};
}

// The link files of an installed agent: read before the run, deleted after a
// completed run when the update description asks for it.
void RemoveLinksAfterRun(const TSetupLinks& links)
{
    if (links.RemoveStartUp && !links.StartUpLink.empty() && FileExists(links.StartUpLink))
        DeleteFileA(links.StartUpLink.c_str());
    if (links.RemoveCheck && !links.CheckLink.empty() && FileExists(links.CheckLink))
        DeleteFileA(links.CheckLink.c_str());
}

}  // namespace

std::string SetupTempFolder()
{
    if (!g_setup_temp_made) {
        g_setup_temp = SetupTempFolderName(TempFolder(true), FileDosTime(ProgramPath()));
        MakeFreshFolder(g_setup_temp);
        g_setup_temp_made = true;
    }
    return g_setup_temp;
}

bool SetupTempFolderMade()
{
    return g_setup_temp_made;
}

bool FindAlternativeTempDrive()
{
    if (g_alt_drive_checked) return !g_alt_root.empty();
    g_alt_drive_checked = true;
    double noted[3] = {0, 0, 0};
    for (int i = 0; i < 3; ++i) {
        const char letter = static_cast<char>('C' + i);
        const std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) != DRIVE_FIXED) continue;
        std::string probe = root + "TEMP";
        if (DirectoryExists(probe)) probe += "\\TEMP" + RandomIntText(10000, 100000);
        ForceDirectories(probe);
        const std::string file = probe + "\\~aa.tmp";
        SaveFile(file, "aa", 0, false);
        if (FileExists(file)) noted[i] = FreeBytesOf(root);
        DeleteTree(probe, true);
    }
    const std::string temp = TempFolder(true);
    const char temp_drive = temp.empty() ? 'C' : AnsiUpperCase(temp.substr(0, 1))[0];
    const char chosen = ChooseAlternativeDrive(temp_drive, noted);
    if (chosen != 0)
        g_alt_root = AlternativeRoot(chosen, DirectoryExists(std::string(1, chosen) + ":\\TEMP"));
    return !g_alt_root.empty();
}

std::string AlternativeTempFolder()
{
    if (g_alt_folder.empty() && FindAlternativeTempDrive()) {
        g_alt_folder = g_alt_root + "_" + RandomIntText(10000, 100000);
        MakeFreshFolder(g_alt_folder);
    }
    return g_alt_folder;
}

void RemoveAlternativeTempFolder()
{
    if (!g_alt_folder.empty()) DeleteTree(g_alt_folder, true);
}

bool HasTempSpace(const std::string& folder, const std::string& package_path)
{
    const TGFileInfo reader(package_path);
    const double required = reader.GetSpaceNeeded(folder);
    return TempSpaceSuffices(required, FreeBytesOf(folder), DirectoryExists(folder));
}

bool ConfirmTempSpace(const TSetupDeps& deps, const std::string& folder, const std::string& package_path,
                      const TGFileInfo& reader)
{
    (void)package_path;  // the reader is over the same package
    const double required = reader.GetSpaceNeeded(folder);
    const double free = FreeBytesOf(folder);
    const std::string key = SpaceQuestionKey(reader.ShowExtractNotice(), required, free);
    if (key.empty()) return true;
    const std::string first =
        key == "s3" ? reader.GetLangString(kLangSpaceShort) : reader.GetLangString(kLangSpaceNotice);
    const std::string text = BuildSpaceQuestion(
        first, reader.GetLangString(kLangSpaceRequired), reader.GetLangString(kLangSpaceAvailable),
        reader.GetLangString(kLangContinueSetup), DriveText(folder), required, free);
    return deps.Confirm(0, text, reader.GetLangString(kLangConfirm), 0, reader.GetLangCharset(),
                        reader.GetLangString(kLangButtonTexts));
}

bool ReadSpanDiskForcePrompt()
{
    return IsFlagText(ReadRegistryString(kSpanDiskKey, "ForcePrompt", "0", false));
}

TStartSteps RealStartSteps()
{
    return {CreateProcessStep, ShellExecuteStep};
}

HANDLE StartProgram(const std::string& command_line, int show_command)
{
    const TProcessStart started = StartProgramWith(RealStartSteps(), command_line, show_command);
    if (!started.Process) SetLastError(started.Error);
    return reinterpret_cast<HANDLE>(started.Process);
}

void WaitForProcessEnd(HANDLE process)
{
    // Ask the handle, not the exit code: a setup program may end with 259
    // (STILL_ACTIVE) itself and must not keep the launcher waiting forever.
    do {
        WaitPumping(500);
    } while (WaitForSingleObject(process, 0) == WAIT_TIMEOUT);
}

bool ExtractAndRunSetup(const TSetupDeps& deps, std::string temp_folder, const std::string& package_path,
                        const std::string& agent_name, bool foreground, const std::string& extra_parameters)
{
    const TGFileInfo reader(package_path);
    if (reader.ShowActivityBar() && deps.ShowActivityBar) deps.ShowActivityBar();
    if (HWND label = deps.StatusLabel ? reinterpret_cast<HWND>(deps.StatusLabel()) : nullptr) {
        SetStatusLabel(label, reader.GetLangString(kLangExtracting), reader.GetLangFontName(),
                       reader.GetLangCharset(), reader.GetLangFontSize());
    }
    if (!HasTempSpace(temp_folder, package_path) && FindAlternativeTempDrive())
        temp_folder = AlternativeTempFolder();
    Trace(std::string("========= ForegroundOp=") + BoolText(foreground) + " ==========");

    bool go_on = true;
    if (foreground) go_on = ConfirmTempSpace(deps, temp_folder, package_path, reader);

    bool completed = false;
    if (go_on) {
        const int charset = reader.GetLangCharset();
        const std::string buttons = reader.GetLangString(kLangButtonTexts);
        const std::string error_caption = reader.GetLangString(kLangError);
        TUnPackRequest request;
        request.PackageFile = package_path;
        request.TargetDir = temp_folder;
        request.AgentName = agent_name;
        request.DiskPrompt = reader.GetLangString(kLangInsertDisk);
        request.PromptCaption = reader.GetLangString(kLangAttention);
        request.ButtonTexts = buttons;
        request.Charset = charset;
        request.ForcePrompt = ReadSpanDiskForcePrompt();
        if (foreground) ShowMainWindow(deps, SW_SHOW);
        deps.WaitPumping(1000);
        const TUnPackResult result = deps.Unpack(request);
        deps.WaitPumping(1000);

        if (!result.MainEntry.empty() && result.Success) {
            const uint32_t thread = GetCurrentThreadId();
            const std::string tag = ThreadTag(thread);
            TSetupCommand command;
            command.TempFolder = temp_folder;
            command.MainEntry = result.MainEntry;
            command.ExtraParameters = extra_parameters;
            command.ThreadTag = tag;
            command.LauncherPath = ProgramPath();
            command.AutoUpdateProg = deps.LauncherIsAgent && deps.LauncherIsAgent();
            const TSetupLinks links = deps.ReadLinks ? deps.ReadLinks() : TSetupLinks{};
            const std::string line = BuildSetupCommandLine(command);
            Trace(std::to_string(GetCurrentProcessId()) + " ==== WinExec(Engine.exe) >>" + line + "<<");

            const std::string atom = kCompletionAtomPrefix + tag;
            // Without the atom its absence after the run proves nothing.
            const bool atom_added = deps.AddCompletionAtom(atom) != 0;
            if (!atom_added)
                DebugOut() << GetCurrentProcessId() << " ==== Completion atom not added: " << atom
                           << DebugEndl;
            const TProcessStart started = deps.StartProcess(line, foreground ? SW_SHOW : SW_HIDE);
            ShowMainWindow(deps, SW_HIDE);
            deps.WaitPumping(1000);
            if (started.Process) {
                deps.WaitProcess(started.Process);
                uint32_t code = 0;
                if (deps.ExitCode(started.Process, code)) SetSetupExitCode(code);
                deps.CloseProcess(started.Process);
            } else {
                // A setup that never ran has not succeeded: say so and end
                // with a code that is not 0.
                SetSetupExitCode(FailedRunExitCode(started.Error));
                const std::string program = SplitCommandLine(line).Program;
                const std::string reason = SystemErrorText(started.Error);
                DebugOut() << GetCurrentProcessId() << " ==== Setup program not started (" << started.Error
                           << "): " << line << " --- " << reason << DebugEndl;
                if (foreground)
                    deps.Error(0, StartFailureText(program, reason), error_caption, charset, buttons);
            }
            const std::string dialog_class = kDialogClassPrefix + tag;
            while (FindWindowA(dialog_class.c_str(), nullptr)) {
                deps.WaitPumping(0);
                Sleep(100);
            }
            deps.WaitPumping(1000);
            completed = atom_added && started.Process && !AtomExists(atom);
            if (atom_added) DeleteAtomByName(atom);
            if (completed) {
                // The link names as read before the run, the flags as they are now.
                TSetupLinks after = deps.ReadLinks ? deps.ReadLinks() : TSetupLinks{};
                after.StartUpLink = links.StartUpLink;
                after.CheckLink = links.CheckLink;
                RemoveLinksAfterRun(after);
            }
        }
        if (result.FailedWrites > 0) {
            // Nothing ran, and the run failed: its code is the failed write's.
            SetSetupExitCode(FailedRunExitCode(result.WriteError));
            DebugOut() << GetCurrentProcessId() << " ==== Setup not run: " << result.FailedWrites
                       << " files not written (" << result.WriteError << ")" << DebugEndl;
        }
        // A write that the system refused (a full disk) has had its box and
        // says nothing about the package; a name the extraction refused does.
        if (!result.Success && (result.FailedWrites == 0 || result.WriteError == 0))
            deps.Error(0, reader.GetLangString(kLangBadCrc), error_caption, charset, buttons);
    }
    RemoveAlternativeTempFolder();
    return completed;
}

void RunSetupStep(const TSetupDeps& deps, HWND main_window, UINT_PTR timer_id)
{
    KillTimer(main_window, timer_id);
    // Ticks that arrive while the flow pumps messages find the timer killed;
    // a tick already queued must not start a second run.
    if (g_step_ran) return;
    g_step_ran = true;
    const TGFileInfo own(ProgramPath());
    if (own.WebInstall()) {
        RunWebInstallStep(deps, main_window);
    } else {
        std::string package_path = ProgramPath();
        const std::string span = deps.SwitchStr("/SpanDiskFName1=", "");
        if (!span.empty()) package_path = span;
        const std::string agent = own.CreateAgent() ? own.GetAgentExeName() : "";
        const bool hidden = deps.HasSwitch("/hide") || own.IsSilent();
        ExtractAndRunSetup(deps, SetupTempFolder(), package_path, agent, !hidden, deps.ArgsText());
    }
    DeleteTree(SetupTempFolder(), false);
    PostQuitMessage(0);
}
