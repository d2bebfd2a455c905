// The command line: switch readers and the table of every switch the
// launcher reads or passes on.
//
// The readers work on the process's raw command line and program path; the
// "...From" forms take them as parameters (tests, other command lines).
#pragma once

#include <cstdint>
#include <string>

// ---- switches read by this program (name, kind, default) ---------------------

constexpr const char* SwitchSleepX = "/SleepX=";  // integer, -1: first agent cycle after n+1 ticks
constexpr int64_t SwitchSleepXDefault = -1;
constexpr const char* SwitchSpanCdLvl = "/SpanCdLvl=";  // integer, 1: span-CD relaunch level
constexpr int64_t SwitchSpanCdLvlDefault = 1;
constexpr const char* SwitchSpanDiskFName1 = "/SpanDiskFName1=";  // text: first span volume
constexpr const char* SwitchHide = "/hide";                       // flag: silent operation
constexpr const char* SwitchOriginExe = "/OriginExe=";            // text: the launcher first started
constexpr const char* SwitchZZ = "/_ZZ=";                         // text, "99": make the X_ copy anyway
constexpr const char* SwitchZZForce = "99";
constexpr const char* SwitchWait = "/WAIT=";  // integer, 0: seconds before the X_ copy
constexpr int64_t SwitchWaitDefault = 0;
constexpr const char* SwitchTransient = "/TRANSIENT=";  // text: passed on as /TRANSIENTx=
constexpr const char* SwitchDelay = "/DELAY=";          // text: passed on as /SleepX=
constexpr const char* SwitchStop = "/STOP=";            // integer, -1: stop countdown for the X_ copy
constexpr int64_t SwitchStopDefault = -1;
constexpr const char* SwitchWmMsg = "/WM_MSG=";  // text "h:m": controller window and message
constexpr const char* SwitchTest = "/TEST=";     // integer, -1: test level of an update cycle now
constexpr int64_t SwitchTestDefault = -1;
constexpr const char* SwitchTransientX = "/TRANSIENTx=";  // text: "|"-list of eight transient settings

// ---- switches this program adds to programs it starts ------------------------

constexpr const char* SwitchThreadId = "/TH_ID=";                // "_" + thread id, to the setup program
constexpr const char* SwitchAutoUpdateProg = "/AutoUpdateProg";  // setup program run by the agent
constexpr const char* SwitchOriginalInfoFile = "/OriginalInfoFile=";

// ---- readers over the process's command line ---------------------------------

// Value of a value switch ("/Name=" or "-Name="), trimmed; def when absent,
// "" when present without a value. The first occurrence wins; a value ends at
// the next blank followed by the switch character; quotes never reach it.
std::string GetSwitchStr(const std::string& name, const std::string& def);
// The value as a decimal 64-bit integer; def when absent or not a number.
int64_t GetSwitchInt(const std::string& name, int64_t def);
// Presence of a flag switch, ignoring case.
bool HasSwitch(const std::string& name);
// The command line without the program name.
std::string GetArgsText();

// ---- the same over given texts -------------------------------------------------

std::string GetArgsTextFrom(const std::string& commandLine, const std::string& programPath);
std::string GetSwitchStrFrom(const std::string& argsText, const std::string& name, const std::string& def);
int64_t GetSwitchIntFrom(const std::string& argsText, const std::string& name, int64_t def);
bool HasSwitchFrom(const std::string& argsText, const std::string& name);

// ---- the process's command line ------------------------------------------------

// The raw command line and program path the readers use: those of the process
// (GetCommandLineA and the module path on Windows) unless set here.
std::string RawCommandLine();
std::string CommandLineProgramPath();
void SetCommandLineSource(const std::string& commandLine, const std::string& programPath);
