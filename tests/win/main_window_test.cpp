// The real main window under Wine: its children, the private messages sent
// from another process, the controller notifications, the AutoPlay answer,
// the progress bars and the two-step close.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "autoupdate/agent_settings.h"
#include "net/download_abort.h"
#include "autoupdate/agent_control.h"
#include "pkgtool/package_writer.h"
#include "setup/setup_deps.h"
#include "stub/main_window.h"
#include "ui/progress.h"

#include "../native/temp_folder.h"

namespace {

const char* const kClass = "C:\\velmora-test\\main window test.exe";

std::string ProgramFolder()
{
    char path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

// Runs a program and pumps this thread's messages until it ends (the program
// sends to our window, so we must keep dispatching). Returns its exit code.
DWORD RunPumping(const std::string& args)
{
    std::string line = "\"";
    line += ProgramFolder() + "send_window_message.exe\" " + args;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return 0xDEAD;
    const DWORD deadline = GetTickCount() + 60000;
    while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0 &&
           GetTickCount() < deadline) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    DWORD code = 0xDEAD;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

void Pump(DWORD ms)
{
    const DWORD end = GetTickCount() + ms;
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (GetTickCount() < end);
}

// What the scenario of a test does on the first timer tick.
std::function<void(HWND)> g_scenario;
int g_ticks = 0;
int g_removed = 0;
int g_freed = 0;
int g_charset = 0;
unsigned g_autoplay = 0;

void OnTick(HWND window)
{
    ++g_ticks;
    KillTimer(window, kMainTimerId);  // like the setup step: run once
    if (g_scenario) g_scenario(window);
    // Whatever happened, end the loop.
    if (IsWindow(window)) DestroyWindow(window);
}

// Runs the window in setup mode with the given scenario; returns when the
// loop has ended.
void RunWindow(std::function<void(HWND)> scenario, bool agent = false)
{
    g_scenario = std::move(scenario);
    g_ticks = g_removed = g_freed = 0;
    SetDownloadAbort(false);
    TMainWindowHooks hooks = DefaultMainWindowHooks();
    hooks.RunSetupStep = [](HWND window, UINT_PTR) { OnTick(window); };
    hooks.AgentTimerStep = OnTick;
    hooks.RemoveSetupTemp = [] { ++g_removed; };
    hooks.FreeWinInet = [] { ++g_freed; };
    hooks.LangCharset = [] { return g_charset; };
    hooks.LangString = [](const std::string& key, const std::string& def) {
        return key == "s0" ? std::string("Test Title") : def;
    };
    hooks.AutoPlayCancelMessage = [] { return g_autoplay; };
    SetMainWindowHooks(hooks);
    StubWin::WinMain(agent, kClass);
    SetMainWindowHooks(DefaultMainWindowHooks());
    // The loop ends on the quit flag and leaves the quit message queued; the
    // next run in this process must not see it.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

TEST(MainWindow, HiddenWindowWithLabelAndBarsWhereTheLayoutSays)
{
    for (int charset : {0, 177}) {
        g_charset = charset;
        bool checked = false;
        RunWindow([&](HWND w) {
            checked = true;
            char cls[300] = {};
            GetClassNameA(w, cls, sizeof cls);
            EXPECT_STREQ(cls, kClass);
            char title[100] = {};
            GetWindowTextA(w, title, sizeof title);
            EXPECT_STREQ(title, "Test Title");
            EXPECT_FALSE(IsWindowVisible(w));
            EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(w, GWL_STYLE)) & 0x02C80000u, 0x02C80000u);
            EXPECT_EQ(GetWindowLongPtrA(w, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_WINDOWEDGE), 0);
            RECT wr{};
            GetWindowRect(w, &wr);
            EXPECT_EQ(wr.right - wr.left, 492);
            EXPECT_EQ(wr.bottom - wr.top, 110);
            EXPECT_EQ(static_cast<UINT>(GetClassLongPtrA(w, GCL_STYLE)) & CS_DBLCLKS, UINT(CS_DBLCLKS));

            const TMainWindowLayout l = MainWindowLayout(charset);
            struct Child {
                HWND H;
                const char* Cls;
                TRect At;
                bool Visible;
            };
            for (const Child& c : {Child{MainStatusLabel(), "Static", l.Label, true},
                                   Child{MainProgressBar(), "msctls_progress32", l.Progress, true},
                                   Child{MainActivityBar(), "msctls_progress32", l.Activity, false}}) {
                ASSERT_TRUE(IsWindow(c.H)) << c.Cls;
                EXPECT_EQ(GetParent(c.H), w);
                char ccls[64] = {};
                GetClassNameA(c.H, ccls, sizeof ccls);
                EXPECT_STRCASEEQ(ccls, c.Cls);
                const RECT r = ChildRect(w, c.H);
                EXPECT_EQ(r.left, c.At.X) << c.Cls << " charset " << charset;
                EXPECT_EQ(r.top, c.At.Y) << c.Cls;
                EXPECT_EQ(r.right - r.left, c.At.Width) << c.Cls;
                EXPECT_EQ(r.bottom - r.top, c.At.Height) << c.Cls;
                EXPECT_EQ((GetWindowLongPtrA(c.H, GWL_STYLE) & WS_VISIBLE) != 0, c.Visible) << c.Cls;
            }
        });
        EXPECT_TRUE(checked);
        EXPECT_EQ(g_ticks, 1);
    }
    g_charset = 0;
}

// The extraction hands the steps of quick small files to the bars in
// batches: once it returns, both bars stand where one step per file would
// have put them, and the progress object pumps again as before.
TEST(MainWindow, ExtractionStepsAllReachTheBars)
{
    TTempFolder dir;
    TPackOptions o;
    o.Image = StubImage();
    constexpr int kFiles = 45;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "f%d.txt", i);
        o.Files.push_back({"", std::string(100 + i, 'x'), name, false, "", 5u});
    }
    const std::string package = dir.Path() + "\\pkg.exe";
    std::string error;
    ASSERT_TRUE(WritePackage(o, package, error)) << error;
    RunWindow([&](HWND) {
        HWND bar = MainProgressBar();
        HWND act = MainActivityBar();
        const int before = ActivityCounter();
        TUnPackRequest request;
        request.PackageFile = package;
        request.TargetDir = dir.Path() + "\\out";
        const TUnPackResult result = DefaultSetupDeps().Unpack(request);
        EXPECT_TRUE(result.Success);
        EXPECT_EQ(TTempFolder::Read(dir.Path() + "\\out\\f44.txt"), std::string(144, 'x'));
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), kFiles);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), kFiles);
        EXPECT_EQ(ActivityCounter(), (before + kFiles) % 6);
        EXPECT_EQ(SendMessageA(act, PBM_GETPOS, 0, 0), ActivityCounter());
        const TProgressPump pump = SetProgressPump(nullptr);
        EXPECT_NE(pump, nullptr);
        SetProgressPump(pump);
    });
}

TEST(MainWindow, ProgressEventsDriveTheBarsBeyond65535)
{
    RunWindow([](HWND) {
        HWND bar = MainProgressBar();
        HWND act = MainActivityBar();
        ProgBar().Start(65530, 100000);
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 100000);
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 65530);
        EXPECT_EQ(SendMessageA(act, PBM_GETRANGE, FALSE, 0), 5);
        const int before = ActivityCounter();
        for (int i = 0; i < 10; ++i) StandardProgressSink(kProgressStep, 0, 0, 0, 0, "");
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 65540);
        EXPECT_EQ(SendMessageA(act, PBM_GETPOS, 0, 0), (before + 10) % 6);
        ProgBar().SetText("file.bin");  // changes nothing
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 65540);
        ProgBar().Start(0, 0);  // empties the bar
        EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 0);
        ProgBar().Start(0, 65535);  // the 16-bit range message
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, FALSE, 0), 65535);
        EXPECT_EQ(SendMessageA(bar, PBM_GETRANGE, TRUE, 0), 0);
    });
}

// A controller window in this process that records its notifications.
std::vector<std::pair<WPARAM, LPARAM>> g_notes;
const UINT kNoteMsg = WM_APP + 7;
LRESULT CALLBACK ControllerProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == kNoteMsg) g_notes.push_back({wp, lp});
    return DefWindowProcA(w, m, wp, lp);
}

TEST(MainWindow, AnswersTheControlMessagesOfAnotherProcess)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = ControllerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelTestController";
    RegisterClassA(&wc);
    HWND controller =
        CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_TRUE(controller);
    g_notes.clear();
    TAgentRequestSeam seam;
    seam.ProbeInterval = [] { return int64_t{3600}; };
    seam.VersionOriginal = [] { return int32_t{104}; };
    SetAgentRequestSeam(seam);
    SetStopCountdown(-1);
    SetController(0, 0);

    HWND seen = nullptr;
    RunWindow(
        [&](HWND w) {
            seen = w;
            const std::string cls = std::string("\"") + kClass + "\" ";
            EXPECT_EQ(RunPumping(cls + "1125 8 0"), 3600u);
            EXPECT_EQ(RunPumping(cls + "1125 4 0"), 104u);
            EXPECT_EQ(RunPumping(cls + "1125 99 5"), 0u);
            EXPECT_EQ(RunPumping(cls + "1125 30 6"), 0u);
            EXPECT_EQ(StopCountdown(), 6);
            RunPumping(cls + "1123 9 0");
            EXPECT_EQ(StopCountdown(), 9);
            RunPumping(cls + "1124 " + std::to_string(reinterpret_cast<uintptr_t>(controller)) + " " +
                       std::to_string(kNoteMsg));
            Pump(200);
            // Nobody registered the AutoPlay message yet: the default answer 0.
            const UINT autoplay = RegisterWindowMessageA("QueryCancelAutoPlay");
            EXPECT_EQ(SendMessageA(w, autoplay, 0, 0), 0);
            g_autoplay = autoplay;
            EXPECT_EQ(RunPumping(cls + std::to_string(autoplay) + " 0 0"), 1u);
            g_autoplay = 0;
        },
        /*agent=*/true);
    Pump(200);  // the loop-ended notification
    ASSERT_EQ(g_notes.size(), 3u);
    EXPECT_EQ(g_notes[0].first, 50u);
    EXPECT_EQ(g_notes[0].second, reinterpret_cast<LPARAM>(seen));
    EXPECT_EQ(g_notes[1].first, 51u);
    EXPECT_EQ(g_notes[1].second, 1125);
    EXPECT_EQ(g_notes[2].first, 43u);
    EXPECT_EQ(g_notes[2].second, 0);
    SetAgentRequestSeam({});
    SetController(0, 0);
    DestroyWindow(controller);
}

TEST(MainWindow, RequestsReadAndWriteTheInstalledVersionDescription)
{
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "velmora agent requests\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    SetAgentFolder(folder);
    SetAgentInfoName("demo.info");
    const std::string original = folder + "demo.original";
    WritePrivateProfileStringA("OriginalSetup", "ProbeSecondsInterval", "7200", original.c_str());
    WritePrivateProfileStringA("OriginalSetup", "VersionOriginal", "104", original.c_str());
    SetAgentRequestSeam({});  // the window installs the accessors of the files
    RunWindow(
        [&](HWND) {
            const std::string cls = std::string("\"") + kClass + "\" ";
            EXPECT_EQ(RunPumping(cls + "1125 8 0"), 7200u);
            EXPECT_EQ(RunPumping(cls + "1125 4 0"), 104u);
            EXPECT_EQ(RunPumping(cls + "1125 12 -1"), 0u);
            EXPECT_EQ(RunPumping(cls + "1125 8 0"), 0xFFFFFFFFu);  // -1: never probe automatically
            EXPECT_EQ(RunPumping(cls + "1125 99 0"), 0u);
        },
        /*agent=*/true);
    char value[32] = {};
    GetPrivateProfileStringA("OriginalSetup", "ProbeSecondsInterval", "", value, sizeof value,
                             original.c_str());
    EXPECT_STREQ(value, "-1");
    SetAgentRequestSeam({});
    SetAgentFolder("");
    DeleteFileA(original.c_str());
    RemoveDirectoryA(folder.c_str());
}

TEST(MainWindow, ClosesInTwoStepsAndCleansUp)
{
    bool survived_first = false;
    RunWindow([&](HWND w) {
        PostMessageA(w, WM_CLOSE, 0, 0);
        Pump(200);
        survived_first = IsWindow(w);
        EXPECT_TRUE(DownloadAbortRequested());
        EXPECT_EQ(g_removed, 0);
        PostMessageA(w, WM_CLOSE, 0, 0);
        Pump(200);
        EXPECT_FALSE(IsWindow(w));
        EXPECT_TRUE(MainWindowQuitFlag());
    });
    EXPECT_TRUE(survived_first);
    EXPECT_EQ(g_removed, 1);
    EXPECT_EQ(g_freed, 1);
    EXPECT_TRUE(DownloadAbortRequested());
}

}  // namespace
