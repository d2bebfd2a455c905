#include "base/pump.h"

#include <algorithm>

#ifndef _WIN32
#include <chrono>
#include <thread>

int64_t MilliSecondsNow()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// No window system natively: only the sleep remains.
void PumpMessages(int sleep_ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(std::max(sleep_ms, 0)));
}

void DispatchPendingMessages() {}
#endif

int WaitPumpingStep(int duration_ms, int step_ms)
{
    if (step_ms != 0) return step_ms;
    return std::clamp(duration_ms / 10, 1, 25);
}

void WaitPumpingWith(int duration_ms, int step_ms, const std::function<int64_t()>& now,
                     const std::function<void(int sleep_ms)>& pump)
{
    const int step = WaitPumpingStep(duration_ms, step_ms);
    const int64_t deadline = now() + duration_ms;
    do {
        pump(step);
    } while (now() < deadline);
}

void WaitPumping(int duration_ms, int step_ms)
{
    WaitPumpingWith(duration_ms, step_ms, MilliSecondsNow, PumpMessages);
}
