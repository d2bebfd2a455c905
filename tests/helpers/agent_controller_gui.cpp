// A controller of an update agent for the tests: a hidden window that an
// agent is told about ("/WM_MSG=window:message", or message 1124) and that
// records every notification it receives.
//
//   agent_controller_gui RECORD [MESSAGE [LIFETIME_MS]]
//
// RECORD gets "window=<decimal handle>" once the window exists, then one line
// "<wParam> <lParam>" (decimal) per MESSAGE received (default 1500), each
// written at once. The program ends on WM_CLOSE or after LIFETIME_MS
// (default 300000).
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

std::string g_record;
UINT g_message = 1500;

void AppendLine(const std::string& line)
{
    HANDLE f = CreateFileA(g_record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\r\n";
    DWORD done = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    CloseHandle(f);
}

LRESULT CALLBACK ControllerProc(HWND window, UINT msg, WPARAM wparam, LPARAM lparam)
{
    if (msg == g_message) {
        AppendLine(std::to_string(static_cast<unsigned long long>(wparam)) + " " +
                   std::to_string(static_cast<long long>(lparam)));
        return 0;
    }
    if (msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcA(window, msg, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (__argc < 2) return 2;
    g_record = __argv[1];
    if (__argc > 2) g_message = static_cast<UINT>(std::strtoul(__argv[2], nullptr, 10));
    const DWORD lifetime = __argc > 3 ? std::strtoul(__argv[3], nullptr, 10) : 300000;

    WNDCLASSA wc{};
    wc.lpfnWndProc = ControllerProc;
    wc.hInstance = instance;
    wc.lpszClassName = "VelAgentControllerTest";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "agent controller", WS_OVERLAPPED, 0, 0, 100, 50,
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 3;
    DeleteFileA(g_record.c_str());
    AppendLine("window=" + std::to_string(reinterpret_cast<unsigned long long>(window)));

    SetTimer(window, 1, lifetime, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == window) DestroyWindow(window);
        DispatchMessageA(&msg);
    }
    return 0;
}
