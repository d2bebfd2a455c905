// Main window: a hidden window of the single-instance class whose timer drives
// the setup flow or the update agent. Its controls and private messages attach here.
#include "stub/main_window.h"

#include "autoupdate/agent_step.h"
#include "setup/setup_step.h"
#include "stub/startup.h"

#include <windows.h>

#include <iostream>

namespace {

LRESULT CALLBACK MainWindowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_TIMER:
        if (AgentMode) AgentTimerStep(wnd);
        else RunSetupStep(wnd);
        return DefWindowProcA(wnd, msg, wp, lp);
    case WM_DESTROY:
        std::cout << "- wm_Destroy -" << std::endl;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(wnd, msg, wp, lp);
    }
}

}  // namespace

void StubWinMain()
{
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = MainWindowClass.c_str();
    if (!RegisterClassA(&wc)) return;
    HWND wnd = CreateWindowExA(0, wc.lpszClassName, "", WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 0, 492,
                               110, nullptr, nullptr, instance, nullptr);
    if (!wnd) return;
    SetTimer(wnd, MainTimerId, MainTimerPeriodMs, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    if (IsWindow(wnd)) {
        KillTimer(wnd, MainTimerId);
        DestroyWindow(wnd);
    }
}
