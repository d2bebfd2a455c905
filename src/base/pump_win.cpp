#include <windows.h>

#include <exception>

#include "base/debug_stream.h"
#include "base/pump.h"

int64_t MilliSecondsNow()
{
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : int64_t{1000};
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    // Split so counter * 1000 cannot overflow on fast counters.
    const int64_t c = counter.QuadPart;
    return c / frequency * 1000 + c % frequency * 1000 / frequency;
}

namespace {

// False when a dispatched message raised a standard error (reported).
bool DispatchQueue()
{
    try {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                // Leave the quit request for the loop that owns the thread.
                PostQuitMessage(static_cast<int>(msg.wParam));
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    } catch (const std::exception& e) {
        ReportException(e, "YieldX");
        return false;
    }
    return true;
}

}  // namespace

void PumpMessages(int sleep_ms)
{
    if (DispatchQueue()) Sleep(static_cast<DWORD>(sleep_ms < 0 ? 0 : sleep_ms));
}

void DispatchPendingMessages()
{
    DispatchQueue();
}
