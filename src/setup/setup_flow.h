// The setup flow: on the first tick of the main window pick a temporary
// folder, check its drive's space (asking when short), extract the package,
// start the marked setup program, wait for it and its dialog windows, take
// over its exit code, clean up and quit.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "setup/setup_deps.h"
#include "package/lang_keys.h"

// ---- names shared with the setup program --------------------------------------

constexpr const char* kSetupFolderPrefix = "SETUP_";
constexpr const char* kCompletionAtomPrefix = "AutoUpdateAtomTokenByVelmora";
constexpr const char* kDialogClassPrefix = ".SDialog_Class_Name.";
constexpr const char* kSpanDiskKey = "HKEY_CURRENT_USER\\Software\\Tarnwick\\Velmora\\SpanDisk";

// ---- pure parts ------------------------------------------------------------------

// temp_path keeps its trailing backslash; the number is the low 16 bits of the
// executable's DOS date-time (the time of day).
std::string SetupTempFolderName(const std::string& temp_path, uint32_t dos_date_time);

// "_" + the decimal thread id: makes "/TH_ID=", the atom and the dialog class
// unique per launcher.
std::string ThreadTag(uint32_t thread_id);

// Megabytes with 3, 2 or 1 decimals (below 1, below or at 10, above 10) and
// always "." as decimal point; negative counts as 0.
std::string FormatMegabytes(double bytes);

// Deletes the first occurrence of the switch (exact case) up to the next "/"
// or the end: the switch, its value and the blanks after it go.
std::string RemoveSwitch(const std::string& command_line, const std::string& switch_text);

struct TMainEntry {
    std::string FileName;    // before the first "*", trimmed
    std::string Parameters;  // after it, trimmed
};
TMainEntry SplitMainEntry(const std::string& main_entry);

struct TSetupCommand {
    std::string TempFolder;       // without trailing backslash
    std::string MainEntry;        // from the extraction: name["*" parameters]
    std::string ExtraParameters;  // the launcher's own arguments
    std::string ThreadTag;
    std::string LauncherPath;  // full path of the running launcher
    bool AutoUpdateProg = false;
};
// The setup program's command line. The program path is quoted when it holds
// a blank, so that it is not read as a shorter path plus arguments.
std::string BuildSetupCommandLine(const TSetupCommand& c);

// Which first line the space question gets: "" (no question), "s2" (notice)
// or "s3" (short of space: required >= free).
std::string SpaceQuestionKey(bool show_extract_notice, double required, double free);
// The space question: first line + s4 + s5 + s6 with <DRIVE>, <SPACE_REQ> and
// <SPACE_AVAIL> filled in (exact case).
std::string BuildSpaceQuestion(const std::string& first_line, const std::string& s4, const std::string& s5,
                               const std::string& s6, const std::string& drive, double required, double free);
// Upper-cased first character + ":"; "" for an empty folder.
std::string DriveText(const std::string& folder);
// Room for the package: required < free and the folder exists.
bool TempSpaceSuffices(double required, double free, bool folder_exists);

// The drive for the alternative temporary folder: the one of C:, D:, E: with
// strictly the most free space noted (0 for a drive that failed the probe),
// starting from the temp folder's drive with 0; 0 when that is the temp drive.
char ChooseAlternativeDrive(char temp_drive, const double noted_free[3]);
// letter + ":\TEMP", extended by "\TEMP" when that folder already exists.
std::string AlternativeRoot(char letter, bool temp_folder_exists);

// A flag stored as text is true only when it is exactly "1".
bool IsFlagText(const std::string& value);

// The exit code of the setup program, taken over as the launcher's own (0
// until one was stored).
uint32_t SetupExitCode();
void SetSetupExitCode(uint32_t code);

// ---- starting the setup program ---------------------------------------------------

// CreateProcess's answer for a program whose manifest asks for elevation,
// started by a launcher that is not elevated.
constexpr uint32_t kErrorElevationRequired = 740;

// A setup program that cannot be started, or whose package could not be
// written out completely, is a failed run: the launcher ends with the system
// error code of the failed start or write (for example 2 for a missing file,
// 193 for a file that is not a program, 1223 when the user declined the
// elevation, 112 for a full disk), or with 1 when the system gave no code.
// Seen through Wine from Linux only the low 8 bits of it remain.
uint32_t FailedRunExitCode(uint32_t system_error);

// The error box of a failed start: the program, then the system's reason
// (left out when empty).
std::string StartFailureText(const std::string& program, const std::string& reason);

// A command line split into the program (without its quotes) and the
// parameters after it (trimmed). A quoted program ends at the closing quote,
// an unquoted one at the first blank.
struct TCommandLineParts {
    std::string Program;
    std::string Parameters;
};
TCommandLineParts SplitCommandLine(const std::string& command_line);

// The two ways of starting a program; each gives the process or 0 and the
// system error code.
struct TStartSteps {
    // CreateProcess over the whole command line.
    std::function<TProcessStart(const std::string& command_line, int show_command)> Create;
    // ShellExecuteEx of the program with its parameters: lets Windows ask the
    // user for elevation.
    std::function<TProcessStart(const std::string& program, const std::string& parameters, int show_command)>
        ShellOpen;
};
// CreateProcess first; when that fails because the program asks for
// elevation, ShellExecuteEx of the program and parameters split from the
// command line. Any other failure is the answer.
TProcessStart StartProgramWith(const TStartSteps& steps, const std::string& command_line, int show_command);

#ifdef _WIN32
#include <windows.h>

// ---- the flow ---------------------------------------------------------------------

// The timer handler of setup mode: runs the whole flow once with the
// dependencies given and posts WM_QUIT.
void RunSetupStep(const TSetupDeps& deps, HWND main_window, UINT_PTR timer_id);

// Extracts the package into the temporary folder, runs its marked program,
// waits for it, takes over its exit code. True when the program removed the
// completion atom (the run completed); false too when the atom could not be
// added or the program could not be started. The exit code goes to
// SetupExitCode; a failed start stores FailedRunExitCode, shows an error box
// in the foreground and writes a debug-stream line either way. When a file of
// the package could not be written nothing runs: the extraction has shown
// its box, the code of the failed write is stored (FailedRunExitCode), and
// the "s7" box follows only when the extraction refused a name.
bool ExtractAndRunSetup(const TSetupDeps& deps, std::string temp_folder, const std::string& package_path,
                        const std::string& agent_name, bool foreground, const std::string& extra_parameters);

std::string SetupTempFolder();
// True when SetupTempFolder was made by this process.
bool SetupTempFolderMade();
bool FindAlternativeTempDrive();
std::string AlternativeTempFolder();
void RemoveAlternativeTempFolder();

bool HasTempSpace(const std::string& folder, const std::string& package_path);
bool ReadSpanDiskForcePrompt();

// The real steps: CreateProcess (no inheritance, the launcher's environment
// and current folder, only the show command set) and ShellExecuteEx ("open",
// the process handle kept, no error box of the shell's own).
TStartSteps RealStartSteps();
// StartProgramWith over the real steps: the process handle, or 0 with the
// system error code as the thread's last error.
HANDLE StartProgram(const std::string& command_line, int show_command);
// Polls every 500 ms, pumping messages in between, until the process has
// ended. It asks the handle, not the exit code: a program that ends with 259
// (STILL_ACTIVE) is not waited on forever.
void WaitForProcessEnd(HANDLE process);
#endif
