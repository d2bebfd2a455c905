// The update agent's cycles: fetch a file of the update location
// (DownloadFileAU), update the installed program (PerformAutoUpdate) or show
// what a new version brings (PerformAutoInform), and start a fresh agent
// after an update (ReStartAutoUpdateExe).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "setup/setup_deps.h"

// File kinds of DownloadFileAU.
enum : int {
    kFetchInfo = 1,    // the .INFO file, fetched into memory
    kFetchUpdate = 2,  // the UPDATE file, token checked
    kFetchInform = 3,  // the INFORM file, token checked
};

inline constexpr const char* kTextBadSecretToken = "Bad Secret Token!";

// Shut-down methods of NewSetup "ShutDownMethod" (compared exactly).
enum class TShutDownMethod {
    AskUser,       // "Issue a Message Box"
    Close,         // "Using WM_CLOSE"
    Quit,          // "Using WM_QUIT"
    Terminate,     // "Using Terminate Process"
    DontShutDown,  // "Don't Shut Down"
    Other,         // anything else: only the wait
};
TShutDownMethod ParseShutDownMethod(const std::string& method);

// ---- names -------------------------------------------------------------------

// The name under which a file of the update location is fetched, checked, run
// and deleted: the text after the last "\", "/" or ":" of the description's
// key. "" when that is refused: empty, "." or "..", a wildcard or a character
// no file name may hold, a device name, or one of `ownNames` (the agent's
// program, its X_ copy and its description files; case ignored).
std::string UpdateFileName(const std::string& key, const std::vector<std::string>& ownNames);

// The private name a file is fetched to before its checks: the file itself
// appears only once it was found good.
std::string FetchWorkingPath(const std::string& finalPath);

// ---- texts -------------------------------------------------------------------

// Every PROG_NAME (exact case) replaced by `name`.
std::string ReplaceProgName(const std::string& text, const std::string& name);

struct TNoticeTexts {
    std::string S11, S12, S13, S18, S19;  // download notice parts
    std::string S14, S20;                 // installation question / notice
};
// s11 + (s13 when asked again before the installation, else s12); the forced
// download notice takes s19 / s18 instead.
std::string DownloadNoticeText(const TNoticeTexts& t, bool confirmInstall, bool downloadForce,
                               const std::string& programName);
std::string InstallNoticeText(const TNoticeTexts& t, bool installForce, const std::string& programName);

// The attention text of a failed UPDATE or INFORM fetch: s3 when aborted;
// otherwise the source and s4 when it is a drive or network path, s5 for a URL.
std::string FetchFailureText(const std::string& source, bool aborted, const std::string& s3,
                             const std::string& s4, const std::string& s5);

// The command that starts a fresh agent after an update.
std::string AgentRestartCommand(const std::string& agentFolder, const std::string& agentExeName,
                                const std::string& transientText);

// After the shut-down: 0 the program was not running, 1 it still runs, 2 it
// was stopped (only then is it started again).
int ShutDownState(bool wasRunning, bool stillRunning);

// The source of a file: location + "\" + name for a drive or network folder,
// location + "/" + name for a URL.
std::string FolderSource(const std::string& location, const std::string& name);
std::string UrlSource(const std::string& location, const std::string& name);

#ifdef _WIN32
#include <windows.h>

// What the cycles need from the program as a whole; start-up fills it.
struct TAgentDeps {
    // The update's run (extraction, its boxes, the pumping wait, the process).
    TSetupDeps Setup;
    std::function<HWND()> MainWindow;
    // The running package: its scrambled agent token, the agent's file name
    // (agent block item 2) and its update location (item 0).
    std::function<std::string()> OwnAgentToken;
    std::function<std::string()> AgentExeName;
    std::function<std::string()> UpdateUrl;
    // Thumbprints of the certificates an UPDATE file must be signed with
    // (agent block item 5); "" when the token alone decides.
    std::function<std::string()> OwnSigners;
    // Ends the agent: the main window is destroyed.
    std::function<void()> EndAgent;
    // Called once per cycle when the user was shown the offer or the update
    // file arrived: from then on the publication counts as offered.
    std::function<void()> MarkOffered;
};

// The status label of the main window with the text of the kind.
void SetStatusText(const TAgentDeps& deps, int kind);

// Fetches `fileName` from `location` (a folder, else a URL). Kinds 2 and 3
// are kept in the agent folder only when complete, of their announced size
// and carrying the agent's token (an UPDATE file also the signature of a
// named signer, when the agent names any); a refused file is deleted.
bool DownloadFileAU(const TAgentDeps& deps, const std::string& location, const std::string& fileName,
                    int kind, std::string& error);
// The token of a fetched UPDATE (kind 2) or INFORM (kind 3) file equals the agent's own.
bool IsSameToken(const TAgentDeps& deps, const std::string& localFile, int kind);

bool PerformAutoUpdate(const TAgentDeps& deps);
bool PerformAutoInform(const TAgentDeps& deps);
void ReStartAutoUpdateExe(const TAgentDeps& deps);

// The names the update location may not use for its files.
std::vector<std::string> AgentOwnFileNames(const TAgentDeps& deps);
#endif
