// Runs a launcher package and watches its extraction from outside, for
// bench/launcher-extract:
//   extract_probe PACKAGE.exe [ARGUMENTS]
// It is the debug viewer (a ".VDebug." window collecting the launcher's debug
// lines), keeps sending WM_NULL to the launcher's windows whenever the last
// one was answered, and reads the launcher's peak working set while it runs.
// Prints, once the launcher ended:
//   uncompress_ms=U longest_wait_ms=W probes=P peak_working_set=B exit=E
// U: the launcher's own "UnCompressTime" line (-1 when none arrived); W: the
// longest answer among the messages sent between the "FileInfo.FilesCount="
// line and the "UnCompressTime" line, that is during the extraction.
#include <windows.h>
#include <psapi.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "base/pump.h"
#include "win/debug_viewer.h"

namespace {

std::atomic<int64_t> g_extractFrom{0}, g_extractTo{0};

// Notes when the lines that open and close the extraction arrived.
void NoteDebugLines(const ViewerWindow& viewer)
{
    if (g_extractTo != 0) return;
    const std::string text = viewer.Text();
    if (g_extractFrom == 0 && text.find("FileInfo.FilesCount=") != std::string::npos)
        g_extractFrom = MilliSecondsNow();
    if (text.find("UnCompressTime: ") != std::string::npos) g_extractTo = MilliSecondsNow();
}

struct TFindWindow {
    DWORD Pid;
    HWND Found;
};

BOOL CALLBACK FindTopWindow(HWND h, LPARAM l)
{
    auto* find = reinterpret_cast<TFindWindow*>(l);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != find->Pid) return TRUE;
    find->Found = h;
    return FALSE;
}

using TGetMemoryInfo = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: extract_probe PACKAGE.exe [ARGUMENTS]\n");
        return 2;
    }
    ViewerWindow viewer;
    if (!viewer.ok()) return 3;

    std::string line = "\"";
    line += argv[1];
    line += '"';
    for (int i = 2; i < argc; ++i) (line += ' ') += argv[i];
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", argv[1], GetLastError());
        return 4;
    }

    const auto getMemoryInfo = reinterpret_cast<TGetMemoryInfo>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetProcessMemoryInfo")));
    std::atomic<bool> ended{false};
    std::atomic<int64_t> longest{0};
    std::atomic<int> probes{0};
    std::atomic<size_t> peak{0};
    // Probes from a thread of their own: this one must keep answering the
    // launcher's debug lines.
    std::thread prober([&] {
        while (!ended) {
            if (getMemoryInfo) {
                PROCESS_MEMORY_COUNTERS pmc = {};
                pmc.cb = sizeof pmc;
                if (getMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) {
                    const size_t seen = pmc.PeakWorkingSetSize > pmc.WorkingSetSize ? pmc.PeakWorkingSetSize
                                                                                    : pmc.WorkingSetSize;
                    if (seen > peak) peak = seen;
                }
            }
            TFindWindow find = {pi.dwProcessId, nullptr};
            EnumWindows(FindTopWindow, reinterpret_cast<LPARAM>(&find));
            if (!find.Found) {
                Sleep(1);
                continue;
            }
            const int64_t sent = MilliSecondsNow();
            DWORD_PTR answer = 0;
            SendMessageTimeoutA(find.Found, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
            const int64_t waited = MilliSecondsNow() - sent;
            const int64_t from = g_extractFrom, to = g_extractTo;
            if (from != 0 && sent >= from && (to == 0 || sent <= to)) {
                ++probes;
                if (waited > longest) longest = waited;
            }
        }
    });
    while (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) {
        PumpMessages(1);
        NoteDebugLines(viewer);
    }
    ended = true;
    prober.join();
    PumpMessages(0);
    const std::string text = viewer.Text();

    DWORD exitCode = 0;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    long long uncompress = -1;
    const size_t at = text.find("UnCompressTime: ");
    if (at != std::string::npos) uncompress = std::atoll(text.c_str() + at + 16);
    std::printf("uncompress_ms=%lld longest_wait_ms=%lld probes=%d peak_working_set=%llu exit=%lu\n",
                uncompress, static_cast<long long>(longest.load()), probes.load(),
                static_cast<unsigned long long>(peak.load()), exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return uncompress < 0 ? 1 : 0;
}
