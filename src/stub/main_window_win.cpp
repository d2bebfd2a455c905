// The hidden main window of the launcher and its message loop.
#include <windows.h>
#include <commctrl.h>

#include "base/debug_stream.h"

#include "base/paths.h"
#include "autoupdate/agent_requests.h"
#include "net/download_abort.h"
#include "net/http_client.h"
#include "package/files.h"
#include "package/package_reader.h"
#include "setup/setup_flow.h"
#include "autoupdate/agent_control.h"
#include "stub/main_window.h"
#include "base/switches.h"
#include "base/trace_log.h"
#include "ui/msgbox.h"
#include "ui/progress.h"
#include "base/pump.h"
#include "ui/window_services.h"

namespace {

constexpr DWORD kMainWindowStyle = 0x02C80000;  // caption, system menu, clip children
constexpr DWORD kLabelStyle = 0x50000000;       // child, visible
constexpr DWORD kActivityStyle = 0x40000000;    // child, hidden until the setup flow shows it

TMainWindowHooks g_hooks = DefaultMainWindowHooks();
const TGFileInfo* g_own = nullptr;  // the program's package while WinMain runs
bool g_agent_mode = false;
bool g_quit = false;
HWND g_window = nullptr;
HWND g_label = nullptr;
HWND g_progress = nullptr;
HWND g_activity = nullptr;
HFONT g_label_font = nullptr;

int LangCharset()
{
    if (g_hooks.LangCharset) return g_hooks.LangCharset();
    return g_own ? g_own->GetLangCharset() : 0;
}

std::string LangString(const std::string& key, const std::string& def)
{
    if (g_hooks.LangString) return g_hooks.LangString(key, def);
    return g_own ? g_own->GetLangString(key, def) : def;
}

HICON MainIcon()
{
    HICON icon = LoadIconA(GetModuleHandleA(nullptr), kMainIconName);
    return icon ? icon : LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
}

void DriveBar(const TBarAction& a)
{
    HWND bar = a.Bar == TBar::Main ? g_progress : g_activity;
    if (!bar) return;
    ApplyBarAction(bar, a);
}

void PumpOnce()
{
    WaitPumping(0);
}

void RemoveSetupTemp()
{
    // Only a folder this process made: another launcher may own one of that name.
    if (SetupTempFolderMade()) DeleteTree(SetupTempFolder(), true);
}

int64_t SleepXSwitch()
{
    return GetSwitchInt(SwitchSleepX, SwitchSleepXDefault);
}

unsigned AutoPlayMessage()
{
    return AutoPlayCancelMessage();
}

void PostNotification(uintptr_t window, uint32_t message, uintptr_t wparam, intptr_t lparam)
{
    PostMessageA(reinterpret_cast<HWND>(window), message, wparam, lparam);
}

void CreateChildren(HWND window)
{
    HINSTANCE inst = GetModuleHandleA(nullptr);
    const TMainWindowLayout l = MainWindowLayout(LangCharset());
    g_label = CreateWindowExA(0, "Static", "", kLabelStyle, l.Label.X, l.Label.Y, l.Label.Width,
                              l.Label.Height, window, nullptr, inst, nullptr);
    g_progress = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, l.Progress.X, l.Progress.Y,
                                 l.Progress.Width, l.Progress.Height, window, nullptr, inst, nullptr);
    g_activity = CreateWindowExA(0, PROGRESS_CLASSA, "", kActivityStyle, l.Activity.X, l.Activity.Y,
                                 l.Activity.Width, l.Activity.Height, window, nullptr, inst, nullptr);
    SetTimer(window, kMainTimerId, kMainTimerPeriod, nullptr);
    if (!g_label_font) {
        g_label_font = CreateFontA(-11, 0, 0, 0, FW_DONTCARE, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "Tahoma");
    }
    if (g_label && g_label_font) SendMessageA(g_label, WM_SETFONT, (WPARAM)g_label_font, TRUE);
}

void PaintIcon(HWND window)
{
    HDC dc = GetDC(window);
    if (!dc) return;
    RECT r;
    GetClientRect(window, &r);
    FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
    DrawIcon(dc, kIconX, kIconY, MainIcon());
    ReleaseDC(window, dc);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    const unsigned autoplay = g_hooks.AutoPlayCancelMessage ? g_hooks.AutoPlayCancelMessage() : 0;
    if (autoplay != 0 && msg == autoplay) return 1;

    switch (msg) {
    case WM_CREATE:
        g_window = window;
        CreateChildren(window);
        break;
    case WM_PAINT:
        PaintIcon(window);
        break;  // the default handler validates the area
    case WM_CLOSE:
        if (!CloseMainWindow()) return 0;
        break;
    case WM_DESTROY:
        DebugOut() << "- wm_Destroy -" << DebugEndl;
        DestroyMainWindow();
        break;
    case WM_QUIT:
        DebugOut() << "- wm_Quit -" << DebugEndl;
        DestroyMainWindow();
        break;
    case WM_TIMER:
        if (g_agent_mode) {
            if (g_hooks.AgentTimerStep) g_hooks.AgentTimerStep(window);
        } else if (g_hooks.RunSetupStep) {
            g_hooks.RunSetupStep(window, kMainTimerId);
        }
        break;
    case kMsgStopCountdown:
        SetStopCountdown(static_cast<int32_t>(wparam));
        break;
    case kMsgRegisterController:
        SetController(static_cast<uintptr_t>(wparam), static_cast<uint32_t>(lparam));
        NotifyController(kNotifyAgentWindow, reinterpret_cast<intptr_t>(window));
        NotifyController(kNotifyRequestMessage, kMsgAgentRequest);
        break;
    case kMsgAgentRequest:
        return AgentRequest(static_cast<int32_t>(wparam), static_cast<int32_t>(lparam));
    default:
        break;
    }
    return DefWindowProcA(window, msg, wparam, lparam);
}

}  // namespace

TMainWindowHooks DefaultMainWindowHooks()
{
    TMainWindowHooks h;
    h.RemoveSetupTemp = RemoveSetupTemp;
    h.SleepX = SleepXSwitch;
    h.FreeWinInet = FreeWinInet;
    h.AutoPlayCancelMessage = AutoPlayMessage;
    h.SetMsgBoxFont = SetMsgBoxFont;
    return h;
}

HWND MainWindowHandle()
{
    return g_window;
}
HWND MainStatusLabel()
{
    return g_label;
}
HWND MainProgressBar()
{
    return g_progress;
}
HWND MainActivityBar()
{
    return g_activity;
}
bool MainWindowQuitFlag()
{
    return g_quit;
}

void SetMainWindowHooks(const TMainWindowHooks& hooks)
{
    g_hooks = hooks;
}
const TMainWindowHooks& MainWindowHooks()
{
    return g_hooks;
}

void DestroyMainWindow()
{
    Trace(".. DestroyMainWindow() - Start");
    SetDownloadAbort(true);
    if (g_hooks.RemoveSetupTemp) g_hooks.RemoveSetupTemp();
    PostQuitMessage(0);
    g_quit = true;
    Trace(".. DestroyMainWindow() - End");
}

void StubWin::WinMain(bool agent_mode, const std::string& class_name)
{
    g_agent_mode = agent_mode;
    if (agent_mode) InstallAgentRequestAccessors();
    g_quit = false;
    g_window = g_label = g_progress = g_activity = nullptr;

    const int64_t sleep_x = g_hooks.SleepX ? g_hooks.SleepX() : -1;
    if (sleep_x >= 0) SetAgentTimerCount(static_cast<int32_t>(-sleep_x));
    // How many ticks the agent waits before its first cycle.
    if (agent_mode)
        DebugOut() << GetCurrentProcessId() << " ==== AgentTimerCount=" << AgentTimerCount() << DebugEndl;

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = inst;
    wc.hIcon = MainIcon();
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = class_name.c_str();
    RegisterClassA(&wc);  // already registered by an earlier run in this process: fine

    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    int x = 0, y = 0;
    CenterInWorkArea(work.left, work.top, work.right, work.bottom, x, y);

    SetProgressBarDriver(DriveBar);
    SetProgressPump(PumpOnce);
    SetNotifyPoster(PostNotification);

    const TGFileInfo own(ProgramPath());
    g_own = &own;
    const std::string title = LangString(kMainTitleKey, kMainTitleDefault);
    HWND window = CreateWindowExA(0, class_name.c_str(), title.c_str(), kMainWindowStyle, x, y,
                                  kMainWindowWidth, kMainWindowHeight, nullptr, nullptr, inst, nullptr);
    if (g_hooks.SetMsgBoxFont)
        g_hooks.SetMsgBoxFont(own.GetLangFontName(), own.GetLangFontSize(), own.GetLangCharset());
    if (window) {
        ShowWindow(window, SW_HIDE);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            if (g_quit) break;
        }
    }
    g_own = nullptr;
    KillTimer(window, kMainTimerId);
    SetDownloadAbort(true);
    if (g_hooks.FreeWinInet) g_hooks.FreeWinInet();
    NotifyController(kNotifyLoopEnded, 0);
}
