// Macro expansion in paths and texts written by a package author: folders
// ("<WinDir>", "<UserDesktopDir>", "<InstallDir>"), names ("<ComputerName>"),
// dates ("<Date=6>") and user macros, in angle brackets, any letter case.
//
// The expander takes every folder, name, clock and locale answer from the
// sources it is given, so it is exact and testable anywhere; the process's
// expander uses the system's (macros_win.cpp). Folder values are used without
// trailing backslash: the expander adds the separator (the suffix) itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/text_utils.h"
#include "lang/shell_folders.h"

// Folders of the second stage other than the shell and runtime folders.
enum class TMacroFolder {
    Windows,
    System,
    System16,
    StartMenu,     // "Start Menu" of the user's Shell Folders key
    ProgramFiles,  // "ProgramFilesDir" of HKLM\...\CurrentVersion
    CommonFiles,   // "CommonFilesDir" of the same key
    Fonts,
    Temp,
};

// What the expander asks of the machine; every member must be set.
struct TMacroSources {
    std::function<std::string(TMacroFolder)> Folder;       // without trailing backslash
    std::function<std::string(TShellFolder)> ShellFolder;  // without trailing backslash
    std::function<std::string(int n)> RuntimeFolder;       // n = 1..8
    std::function<std::string()> LoggedUserName;
    std::function<std::string()> RegisteredOwner;  // defaults to the logged-on user
    std::function<std::string()> RegisteredOrganization;
    std::function<std::string()> ComputerName;
    std::function<std::string()> CurrentDomainName;
    std::function<TDateTime()> Now;                                // local time
    std::function<std::string(int month)> LongMonthName;           // 1..12, the user's locale
    std::function<TUserSeparators()> Separators;                   // date and time separators
    std::function<std::string(const std::string& path)> FullPath;  // "." and ".." resolved
    std::function<std::string()> OriginExeSwitch;                  // "/OriginExe=" value, "" when absent
    std::function<std::string()> ProgramPath;                      // the running executable
    std::function<bool(unsigned char)> IsLeadByte;                 // DBCS lead byte of the code page
};

// The expander's own state. A host may fill the user macro table, the value
// provider, the exit code, the free space and the service list; the launcher
// leaves them as they are here.
struct TMacroContext {
    std::string ApplicationFolder;
    std::string CommonFolder;
    std::string AuxiliaryFolder;
    std::string UserMacros;  // key/value list; keys are whole macros ("<<" and ">>" read as "<", ">")
    std::function<std::string(const std::string& name)> ValueProvider;  // none: every value ""
    int64_t LastExecutableExitCode = 0;
    double RequiredFreeDiskSpace = 0;  // bytes
    std::string ServiceList;           // list of service program paths
};

class TMacroExpander {
public:
    explicit TMacroExpander(TMacroSources sources) : sources_(std::move(sources)) {}

    // Stage 1 (user macros, the date macro, names) always; stage 2 (folders)
    // with `folderMacros`; then ".." paths with `expandDotDot`.
    std::string ExpandMacros(const std::string& text, const std::string& suffix, bool expandDotDot,
                             bool folderMacros, bool userMacros);
    void SetInstallFolders(const std::string& application, const std::string& common,
                           const std::string& auxiliary);
    // The first "<Date=" macro with a ">" after it; unknown codes leave the text as it is.
    std::string ExpandDateMacro(const std::string& text);
    // Every "<...>" token looked up in the user macro table, itself by default.
    std::string ExpandUserMacros(const std::string& text);
    // The text, or each item of a "," or "|" list, holding "\.." or "..\" as a full path.
    std::string ExpandDotDotPaths(const std::string& text);
    // "/OriginExe=" (kept once found), else the running executable.
    std::string OriginExe();
    // The folder of OriginExe without trailing backslash, computed once.
    std::string OriginFolder();

    TMacroContext& Context() { return context_; }

private:
    std::string StageOne(const std::string& text, bool userMacros);
    std::string StageTwo(const std::string& text, const std::string& suffix);
    std::string ServiceDir(const std::string& text, const std::string& suffix);
    std::string Provided(const std::string& name) const;

    TMacroSources sources_;
    TMacroContext context_;
    std::string originExe_;
    bool originFolderKnown_ = false;
    std::string originFolder_;
};

// Replaces every occurrence of `macro` (any case) by folder + suffix. The
// suffix is dropped for all of them when the first occurrence ends the text,
// is followed by a blank, or ends an item of a delimited list (the text
// starts and ends with the same character, neither "<" nor a letter, and
// that character follows the macro). An empty folder inserts nothing, not even
// the suffix, and a backslash on both sides of it does not become "\\".
std::string ReplaceFolderMacro(const std::string& text, const std::string& macro, const std::string& folder,
                               const std::string& suffix);

// Reduces doubled backslashes to one, except a leading "\\" (UNC) and one at
// the start of a list item; with `stripTrailing` one trailing backslash goes.
// A backslash that is the trail byte of a double-byte character is kept.
std::string CollapseBackslashesWith(const std::string& text, bool stripTrailing,
                                    const std::function<bool(unsigned char)>& isLeadByte);
// The same with the code page of the system (no lead bytes natively).
std::string CollapseBackslashes(const std::string& text, bool stripTrailing);

// ---- the process's expander ---------------------------------------------------

// The system's sources (natively: no folders, no names, English month names).
TMacroSources SystemMacroSources();
TMacroExpander& ProcessMacroExpander();

std::string ExpandMacros(const std::string& text, const std::string& suffix, bool expandDotDot,
                         bool folderMacros, bool userMacros);
void SetInstallFolders(const std::string& application, const std::string& common,
                       const std::string& auxiliary);
std::string ExpandDateMacro(const std::string& text);
std::string ExpandUserMacros(const std::string& text);
std::string ExpandDotDotPaths(const std::string& text);
std::string OriginExe();
std::string OriginFolder();
