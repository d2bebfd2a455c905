// How other processes steer a running agent through its main window: the
// private messages, the request table of message 1125, the notifications
// posted to a registered controller window, and the two counters of the run
// that the messages change.
#pragma once

#include <cstdint>

// Private messages of the main window.
constexpr unsigned kMsgStopCountdown = 1123;       // wParam: ticks left
constexpr unsigned kMsgRegisterController = 1124;  // wParam: window, lParam: message
constexpr unsigned kMsgAgentRequest = 1125;        // wParam: request, lParam: argument

// Notification codes (wParam of the controller's message).
constexpr int kNotifyInfoFile = 40;        // 1 / 2: start / end of reading the update description
constexpr int kNotifyUpdateFile = 41;      // 1 / 2: start / end of downloading the update or inform file
constexpr int kNotifyRunUpdate = 42;       // 1 / 2: start / end of running the update's setup
constexpr int kNotifyLoopEnded = 43;       // 0: the agent's message loop has ended
constexpr int kNotifyAgentWindow = 50;     // the agent's window handle
constexpr int kNotifyRequestMessage = 51;  // the message number of the requests (1125)

// Agent requests (wParam of message 1125).
enum TAgentRequestCode : int32_t {
    kReqVersionOriginal = 4,
    kReqVersionNew = 5,
    kReqStage = 7,
    kReqProbeInterval = 8,
    kReqReAskInterval = 9,
    kReqProbeLast = 10,
    kReqReAskLast = 11,
    kReqSetProbeInterval = 12,
    kReqSetReAskInterval = 13,
    kReqSetProbeLast = 14,
    kReqSetReAskLast = 15,
    kReqTransientFirst = 20,  // 20..25: transient slots 0..5
    kReqTransientLast = 25,
    kReqStopCountdown = 30,
    kReqProbeNow = 31,
    kReqJustFetchInfo = 32,
};

// What the requests read or change in the description files and in the agent
// scheduler. Every entry may be null: a null getter answers 0, a null setter
// does nothing. The agent modules install the real accessors.
struct TAgentRequestSeam {
    int32_t (*VersionOriginal)() = nullptr;
    int32_t (*VersionNew)() = nullptr;
    int32_t (*Stage)() = nullptr;
    int64_t (*ProbeInterval)() = nullptr;
    int64_t (*ReAskInterval)() = nullptr;
    int64_t (*ProbeLast)() = nullptr;
    int64_t (*ReAskLast)() = nullptr;
    void (*SetProbeInterval)(int64_t seconds) = nullptr;
    void (*SetReAskInterval)(int64_t seconds) = nullptr;
    void (*SetProbeLast)(int64_t time) = nullptr;  // also writes the readable twin
    void (*SetReAskLast)(int64_t time) = nullptr;
    void (*SetTransientSlot)(int slot, int value) = nullptr;
    // Probe at the next tick whatever the intervals; level 2 selects the forced
    // mode of the update decision.
    void (*ProbeNow)(int32_t level) = nullptr;
    // The next tick only fetches the update description.
    void (*JustFetchInfo)() = nullptr;
};
void SetAgentRequestSeam(const TAgentRequestSeam& seam);
const TAgentRequestSeam& AgentRequestSeam();

// The answer of a running agent to message 1125. Results are 32-bit; 64-bit
// settings are returned truncated. Unknown requests do nothing and give 0.
int32_t AgentRequest(int32_t request, int32_t argument);

// ---- counters of the agent run -------------------------------------------------

// Counts agent ticks; the update cycle runs once it reaches 1. Starts at -3.
int32_t AgentTimerCount();
void SetAgentTimerCount(int32_t count);
// Ticks left before the agent quits; negative means never. Starts at -1.
int32_t StopCountdown();
void SetStopCountdown(int32_t ticks);

// ---- controller window ---------------------------------------------------------

// Posts a message to a window without waiting; installed by the main window.
using TNotifyPoster = void (*)(uintptr_t window, uint32_t message, uintptr_t wparam, intptr_t lparam);
void SetNotifyPoster(TNotifyPoster poster);

// Set by message 1124; both 0 until then.
void SetController(uintptr_t window, uint32_t message);
uintptr_t ControllerWindow();
uint32_t ControllerMessage();

// Posts the notification message to the controller with wParam Code and
// lParam Value when both the window and the message are non-zero.
void NotifyController(int code, intptr_t value);

#ifdef _WIN32
// Points the request table at the real accessors of the description files
// (.ORIGINAL and .INFO in the agent folder), the stage and the transient
// slots. Probe-now and fetch-info stay as they are: the scheduler owns them.
void InstallAgentRequestAccessors();
#endif
