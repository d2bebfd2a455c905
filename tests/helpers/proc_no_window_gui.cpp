// Helper without any window: it only waits a minute (or until it is killed).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    Sleep(60000);
    return 99;
}
