#include "autoupdate/agent_control.h"

namespace {

TAgentRequestSeam g_seam;
int32_t g_agent_timer_count = -3;
int32_t g_stop_countdown = -1;
uintptr_t g_controller_window = 0;
uint32_t g_controller_message = 0;
TNotifyPoster g_poster = nullptr;

template <typename T> T Ask(T (*getter)())
{
    return getter ? getter() : T{};
}

}  // namespace

void SetAgentRequestSeam(const TAgentRequestSeam& seam)
{
    g_seam = seam;
}
const TAgentRequestSeam& AgentRequestSeam()
{
    return g_seam;
}

int32_t AgentRequest(int32_t request, int32_t argument)
{
    const TAgentRequestSeam& s = g_seam;
    // Interval setters take the argument sign-extended to 64 bits.
    const int64_t wide = argument;
    switch (request) {
    case kReqVersionOriginal:
        return Ask(s.VersionOriginal);
    case kReqVersionNew:
        return Ask(s.VersionNew);
    case kReqStage:
        return Ask(s.Stage);
    case kReqProbeInterval:
        return static_cast<int32_t>(Ask(s.ProbeInterval));
    case kReqReAskInterval:
        return static_cast<int32_t>(Ask(s.ReAskInterval));
    case kReqProbeLast:
        return static_cast<int32_t>(Ask(s.ProbeLast));
    case kReqReAskLast:
        return static_cast<int32_t>(Ask(s.ReAskLast));
    case kReqSetProbeInterval:
        if (s.SetProbeInterval) s.SetProbeInterval(wide);
        return 0;
    case kReqSetReAskInterval:
        if (s.SetReAskInterval) s.SetReAskInterval(wide);
        return 0;
    // Times are counted from 1899 and are far above 2^31 today: a 32-bit
    // argument can only carry them unsigned.
    case kReqSetProbeLast:
        if (s.SetProbeLast) s.SetProbeLast(static_cast<uint32_t>(argument));
        return 0;
    case kReqSetReAskLast:
        if (s.SetReAskLast) s.SetReAskLast(static_cast<uint32_t>(argument));
        return 0;
    case kReqStopCountdown:
        SetStopCountdown(argument);
        return 0;
    case kReqProbeNow:
        if (g_agent_timer_count < 1) g_agent_timer_count = 1;
        if (s.ProbeNow) s.ProbeNow(argument);
        return 0;
    case kReqJustFetchInfo:
        if (s.JustFetchInfo) s.JustFetchInfo();
        return 0;
    default:
        if (request >= kReqTransientFirst && request <= kReqTransientLast) {
            if (s.SetTransientSlot) s.SetTransientSlot(request - kReqTransientFirst, argument);
        }
        return 0;
    }
}

int32_t AgentTimerCount()
{
    return g_agent_timer_count;
}
void SetAgentTimerCount(int32_t count)
{
    g_agent_timer_count = count;
}
int32_t StopCountdown()
{
    return g_stop_countdown;
}
void SetStopCountdown(int32_t ticks)
{
    g_stop_countdown = ticks;
}

void SetNotifyPoster(TNotifyPoster poster)
{
    g_poster = poster;
}

void SetController(uintptr_t window, uint32_t message)
{
    g_controller_window = window;
    g_controller_message = message;
}
uintptr_t ControllerWindow()
{
    return g_controller_window;
}
uint32_t ControllerMessage()
{
    return g_controller_message;
}

void NotifyController(int code, intptr_t value)
{
    if (g_controller_window == 0 || g_controller_message == 0 || !g_poster) return;
    g_poster(g_controller_window, g_controller_message, static_cast<uintptr_t>(code), value);
}
