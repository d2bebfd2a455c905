// Program entry of the launcher.
#include "base/safe_library.h"
#include "base/debug_stream.h"
#include "stub/stub_win.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    // Before anything can pull a library in by name: system folder only.
    RestrictLibrarySearch();
    PreloadSystemLibraries();
    InstallDebugStream();
    const int exitCode = StubMain();
    FlushDebugStream();
    return exitCode;
}
