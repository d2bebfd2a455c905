// Helper with only invisible, untitled top-level windows: one that owns itself and one
// owned by it. Exits with the WM_QUIT code, or 99 after a minute.
#include <windows.h>

namespace {
LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TIMER) {
        PostQuitMessage(99);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = "VelTestHiddenRoot";
    RegisterClassA(&wc);
    HWND root = CreateWindowA("VelTestHiddenRoot", "", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                              instance, nullptr);
    CreateWindowA("VelTestHiddenRoot", "", WS_OVERLAPPED, 0, 0, 100, 100, root, nullptr, instance, nullptr);
    SetTimer(root, 1, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
