// Waiting that keeps the thread's windows alive: long work dispatches pending
// messages between short sleeps so timers, close requests and control
// messages are handled meanwhile.
#pragma once

#include <cstdint>
#include <functional>

// Milliseconds of the high-resolution counter (monotonic, arbitrary origin).
int64_t MilliSecondsNow();
// Dispatches every pending message of the thread, then sleeps `sleep_ms`.
// A WM_QUIT taken from the queue is posted again, so the main loop still ends.
void PumpMessages(int sleep_ms);
// The same without any sleep: for loops that are busy anyway (a download
// while data arrives) and only need their windows answered.
void DispatchPendingMessages();
// Waits `duration_ms` while pumping in steps of `step_ms` (0: chosen from the
// duration, see WaitPumpingStep). Pumps at least once.
void WaitPumping(int duration_ms, int step_ms = 0);

// The step WaitPumping uses: `step_ms` when not 0, else duration / 10 within 1..25.
int WaitPumpingStep(int duration_ms, int step_ms);
// WaitPumping over a clock and a pump supplied by the caller.
void WaitPumpingWith(int duration_ms, int step_ms, const std::function<int64_t()>& now,
                     const std::function<void(int sleep_ms)>& pump);
