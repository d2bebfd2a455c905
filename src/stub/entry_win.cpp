// Program entry of the launcher.
#include "base/safe_library.h"
#include "base/debug_stream.h"
#include "stub/stub_win.h"

#include <windows.h>

#include <cstdlib>

// The runtime's default handler for an uncaught exception prints the
// demangled type name to a console the launcher does not have, and brings
// the demangler (about 50 KB) into every package. Ending at once is all it
// would achieve.
namespace __gnu_cxx {
void __verbose_terminate_handler()
{
    std::abort();
}
}  // namespace __gnu_cxx

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
