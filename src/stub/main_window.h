// The hidden main window: the process's heartbeat (timer 1 drives the setup
// flow or the update agent) and mailbox (messages 1123-1125, see
// autoupdate/agent_control.h). Its label and two progress bars show the work.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr int kMainWindowWidth = 492;  // outer size
constexpr int kMainWindowHeight = 110;
constexpr unsigned kMainTimerId = 1;
constexpr unsigned kMainTimerPeriod = 1000;  // ms
constexpr int kIconX = 18, kIconY = 20;      // where "MainIcon" is painted
constexpr const char* kMainIconName = "MainIcon";
constexpr const char* kMainTitleKey = "s0";
constexpr const char* kMainTitleDefault = "Velmora Installation Suite";
constexpr const char* kAgentClassPrefix = ".AutoUpdate.";

struct TRect {
    int X = 0, Y = 0, Width = 0, Height = 0;
};

// Where the children stand; right-to-left charsets (177, 178) swap the label
// and the activity bar to the other side.
struct TMainWindowLayout {
    TRect Label;
    TRect Progress;
    TRect Activity;
};
bool IsRightToLeftCharset(int charset);
TMainWindowLayout MainWindowLayout(int charset);

// Top-left corner that centres the window in the work area.
void CenterInWorkArea(int left, int top, int right, int bottom, int& x, int& y);

// Window class name (also the single-instance key): the program path in setup
// mode, ".AutoUpdate." + the program's file name without its last extension
// in agent mode.
std::string MainWindowClassName(bool agent_mode, const std::string& program_path);

// First close request: only sets the download-abort flag (a running download
// stops) and answers false; a later one answers true so the window goes.
bool CloseMainWindow();

#ifdef _WIN32
#include <windows.h>

namespace StubWin {
// Creates the hidden main window and runs its message loop until it ends.
// agent_mode: timer ticks run the agent step instead of the setup step.
// (In a namespace: the global name belongs to the program entry.)
void WinMain(bool agent_mode, const std::string& class_name);
}  // namespace StubWin

// Handles of the running window (0 when there is none).
HWND MainWindowHandle();
HWND MainStatusLabel();
HWND MainProgressBar();
HWND MainActivityBar();
bool MainWindowQuitFlag();

// Sets the download-abort flag, removes the setup temporary folder, posts the
// quit message and sets the quit flag.
void DestroyMainWindow();

// What the window calls outside itself. Null entries do nothing, except the
// language ones: null means the package of the running program.
struct TMainWindowHooks {
    // Setup mode timer tick; the program sets it with its setup dependencies.
    std::function<void(HWND window, UINT_PTR timer_id)> RunSetupStep;
    // Agent mode timer tick; the program sets it with the agent's dependencies.
    std::function<void(HWND window)> AgentTimerStep;
    void (*FreeWinInet)() = nullptr;      // when the loop has ended
    void (*RemoveSetupTemp)() = nullptr;  // on destroy
    int64_t (*SleepX)() = nullptr;        // "/SleepX=", -1 when absent
    // The message-box font from the language block.
    void (*SetMsgBoxFont)(const std::string& face, int size, int charset) = nullptr;
    // Title and charset of the language block.
    std::string (*LangString)(const std::string& key, const std::string& def) = nullptr;
    int (*LangCharset)() = nullptr;
    // The registered AutoPlay-cancel message, 0 while none is registered.
    unsigned (*AutoPlayCancelMessage)() = nullptr;
};
// The modules of the program: the temporary folder, the switch readers, the
// message-box font and the AutoPlay message (no setup step: that needs the
// program's setup dependencies).
TMainWindowHooks DefaultMainWindowHooks();
void SetMainWindowHooks(const TMainWindowHooks& hooks);
const TMainWindowHooks& MainWindowHooks();
#endif
