// Downloads one URL with the launcher's client as the launcher does (a
// window with the two progress bars, the progress object over the standard
// sink, the main window's pumping progress pump) and reports the time and
// how long messages posted to that window waited for an answer meanwhile.
//   download_bench [--no-bars] URL TARGET
// --no-bars leaves the progress controls undriven (the sink runs, nothing is
// painted), to tell the client's own time from the controls' painting.
// Prints "bytes=N seconds=S messages=K longest_answer_ms=M posted_at_ms=T"
// (T: when the longest-waiting message was posted, from the start;
// before the first data that is while WinINet connects and sends the request,
// which blocks) and "longest_with_data_ms=D" for the messages posted once
// data arrived, and the error
// text when there is one; exit code 0 when the download succeeded.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "base/pump.h"
#include "net/download_abort.h"
#include "net/http_client.h"
#include "package/files.h"
#include "ui/progress.h"

namespace {

constexpr UINT kPing = WM_APP + 1;
constexpr int kPingEveryMs = 5;

HWND g_main = nullptr, g_bar = nullptr, g_activity = nullptr;
std::atomic<bool> g_answered{true};
std::atomic<bool> g_done{false};
int64_t g_longest = 0, g_longestAt = 0, g_start = 0;
// From the first progress step on, data arrives: the waits from then on.
std::atomic<int64_t> g_dataSince{0};
int64_t g_longestWithData = 0;
int g_messages = 0;

int64_t g_barUs = 0, g_pumpUs = 0;
int g_barActions = 0, g_pumps = 0;

int64_t MicroSecondsNow()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return t.QuadPart * 1000000 / f.QuadPart;
}

void DriveBar(const TBarAction& a)
{
    const int64_t t0 = MicroSecondsNow();
    HWND bar = a.Bar == TBar::Main ? g_bar : g_activity;
    ApplyBarAction(bar, a);
    g_barUs += MicroSecondsNow() - t0;
    ++g_barActions;
}

void PumpLikeTheMainWindow()
{
    const int64_t t0 = MicroSecondsNow();
    WaitPumping(0);
    g_pumpUs += MicroSecondsNow() - t0;
    ++g_pumps;
}

// The standard sink, noting when the first step came.
void BenchSink(int kind, int reserved, int maximum, int position, int step, const std::string& text)
{
    if (kind == kProgressStep && g_dataSince == 0) g_dataSince = MilliSecondsNow();
    StandardProgressSink(kind, reserved, maximum, position, step, text);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == kPing) {
        const int64_t waited = MilliSecondsNow() - static_cast<int64_t>(lparam);
        const int64_t since = g_dataSince;
        if (since != 0 && static_cast<int64_t>(lparam) >= since && waited > g_longestWithData)
            g_longestWithData = waited;
        if (waited > g_longest) {
            g_longest = waited;
            g_longestAt = static_cast<int64_t>(lparam) - g_start;
        }
        ++g_messages;
        g_answered = true;
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

// Posts a time-stamped message whenever the last one has been answered.
void Pinger()
{
    while (!g_done) {
        if (g_answered.exchange(false)) {
            if (!PostMessageA(g_main, kPing, 0, static_cast<LPARAM>(MilliSecondsNow()))) g_answered = true;
        }
        Sleep(kPingEveryMs);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const bool bars = !(argc == 4 && std::string(argv[1]) == "--no-bars");
    if (argc != (bars ? 3 : 4)) {
        std::fprintf(stderr, "usage: download_bench [--no-bars] URL TARGET\n");
        return 2;
    }
    const char* url = argv[argc - 2];
    const char* target = argv[argc - 1];
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "DownloadBench";
    RegisterClassA(&wc);
    g_main = CreateWindowExA(0, wc.lpszClassName, "download", WS_OVERLAPPEDWINDOW, 0, 0, 480, 120, nullptr,
                             nullptr, wc.hInstance, nullptr);
    g_bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 70, 38, 392, 13, g_main, nullptr,
                            wc.hInstance, nullptr);
    g_activity = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 416, 20, 46, 13, g_main,
                                 nullptr, wc.hInstance, nullptr);
    if (bars) SetProgressBarDriver(DriveBar);
    SetProgressPump(PumpLikeTheMainWindow);
    SetDownloadAbort(false);

    IsInternetConnected();  // WinINet loaded before the clock and the pings start
    std::thread pinger(Pinger);
    std::string content, error;
    const int64_t start = g_start = MilliSecondsNow();
    TProgBar progress(BenchSink);
    const bool ok = HTTP_DownloadFile_Incremental(g_main, url, target, content, &progress, error);
    const int64_t ms = MilliSecondsNow() - start;
    g_done = true;
    pinger.join();

    std::printf("bytes=%lld seconds=%.3f messages=%d longest_answer_ms=%lld posted_at_ms=%lld "
                "longest_with_data_ms=%lld\n",
                static_cast<long long>(FileSizeByName(target)), ms / 1000.0, g_messages,
                static_cast<long long>(g_longest), static_cast<long long>(g_longestAt),
                static_cast<long long>(g_longestWithData));
    std::printf("bar_actions=%d bar_ms=%lld pumps=%d pump_ms=%lld\n", g_barActions,
                static_cast<long long>(g_barUs / 1000), g_pumps, static_cast<long long>(g_pumpUs / 1000));
    if (!ok) std::printf("error=%s\n", error.c_str());
    DestroyWindow(g_main);
    return ok ? 0 : 1;
}
