// Copies of the launcher that run instead of the started file: the X_ copy of
// an update agent, the Y_ copy of a span-CD setup, and the self-delete at the
// end; plus the control switches a plain agent forwards to its running X_ copy.
#pragma once

#include <cstdint>
#include <string>

// ---- pure parts ------------------------------------------------------------------

constexpr const char* kYCopyPrefix = "Y_";
constexpr const char* kDeleteScriptPrefix = "_DEL_ME_";
// How long the plain agent waits for the X_ copy's window before it posts.
constexpr int kXWindowWaitMs = 5000;
constexpr int kXWindowPollMs = 100;
// The self-delete script tries this often, about a second apart.
constexpr int kDeleteScriptTries = 60;

// The plain agent's folder + "X_" + its file name.
std::string XCopyPath(const std::string& programPath);
// Switches for the X_ copy: " /TRANSIENTx=" v and " /SleepX=" d, each only
// when its value is not empty.
std::string XCopyArguments(const std::string& transient, const std::string& delay);
// The X_ copy's path (quoted when it holds a blank) followed by the arguments.
std::string XCopyCommandLine(const std::string& xCopyPath, const std::string& arguments);

// The temporary folder (no trailing backslash) + "\Y_" + the program's file name.
std::string YCopyPath(const std::string& tempFolder, const std::string& programPath);
// The Y_ copy's path (quoted when it holds a blank) and the trimmed arguments:
// this start's own, then "/SpanCdLvl=2", the quoted first volume (the
// program's path + ".001") and the quoted program path as "/OriginExe=".
std::string YCopyCommandLine(const std::string& yCopyPath, const std::string& argsText,
                             const std::string& programPath);

// "/WM_MSG=" "h:m": the controller window and its message; a part that is
// missing or not a number is 0 (so "h" alone gives h and 0).
struct TControllerTarget {
    int64_t Window = 0;
    int64_t Message = 0;
};
TControllerTarget ParseWmMsg(const std::string& value);
// The list the trace shows: ":" + value + ":".
std::string WmMsgList(const std::string& value);

// The self-delete script of one process: "_DEL_ME_" + process id + ".BAT".
std::string DeleteScriptName(uint32_t processId);

struct TDeleteScript {
    std::string ScriptPath;
    std::string Program;
    std::string Folder;         // without a trailing backslash
    bool RemoveFolder = false;  // also remove the (then empty) folder
    bool Quote = true;          // false with short (8.3) names
    int Tries = kDeleteScriptTries;
};
// A batch script that clears the read-only attribute of the program and
// deletes it, trying Tries times (at least once) about a second apart (the
// program may still be ending), then optionally removes the folder and
// deletes itself. Works under COMMAND.COM as well as CMD; lines end in CR LF.
std::string DeleteScriptText(const TDeleteScript& s);

// ---- Windows ---------------------------------------------------------------------

// Makes and starts the X_ copy of the plain agent.
void CreateAndRun_X_Exe();
// Forwards "/STOP=", "/WM_MSG=", "/TEST=", "/TRANSIENTx=" to the running X_
// copy; true when it acted on any switch.
bool HandleParamOK(bool xCopyRunning);
// The X_ copy takes the transient settings it was started with ("/TRANSIENTx=").
void ApplyTransientSwitch();
// Copies this file into the temporary folder and starts it from there.
void RelaunchFromTemp();
// Deletes this file (and its folder) by a script once the process has ended.
void DeleteMySelf(bool removeFolder, bool shortNames);
