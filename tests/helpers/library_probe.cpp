// Starts, restricts its library search like the launcher does, and tells by its
// exit code which loads of the bare name in argv[1] succeeded:
//   bit 0: the default search was restricted
//   bit 1: LoadLibraryA(name) loaded something
//   bit 2: LoadSystemLibrary(name) loaded something
#include "base/safe_library.h"

#include <windows.h>

int main(int argc, char** argv)
{
    if (argc < 2) return 255;
    int result = 0;
    if (RestrictLibrarySearch()) result |= 1;
    const UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX | SEM_FAILCRITICALERRORS);
    if (LoadLibraryA(argv[1])) result |= 2;
    if (LoadSystemLibrary(argv[1])) result |= 4;
    SetErrorMode(previous);
    return result;
}
