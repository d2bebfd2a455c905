// Program entry of the launcher.
#include <windows.h>

#include "stub/debug_stream.h"
#include "stub/main_window.h"
#include "stub/startup.h"
#include "stub/switches.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    InstallDebugStream();
    // Setup mode until the mode dispatch decides.
    MainWindowClass = CommandLineProgramPath();
    StubWinMain();
    FlushDebugStream();
    return StubExitCode;
}
