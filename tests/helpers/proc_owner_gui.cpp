// Windowed helper: a titled main window that owns a second titled window.
// Exits 7 when its main window is closed, with the WM_QUIT code when told to quit,
// and 99 after a minute on its own.
#include <windows.h>

namespace {
constexpr UINT_PTR kGiveUpTimer = 1;

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TIMER:
        PostQuitMessage(99);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(7);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = MainProc;
    wc.hInstance = instance;
    wc.lpszClassName = "VelTestOwnerMain";
    RegisterClassA(&wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "VelTestOwnedChild";
    RegisterClassA(&wc);
    HWND main = CreateWindowA("VelTestOwnerMain", "Owner main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 200,
                              150, nullptr, nullptr, instance, nullptr);
    // Created after its owner, so it lies above it and comes first in the enumeration.
    CreateWindowA("VelTestOwnedChild", "Owned tool", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 150, 100, main,
                  nullptr, instance, nullptr);
    SetTimer(main, kGiveUpTimer, 60000, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
