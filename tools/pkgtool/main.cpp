// pkgtool: builds launcher packages and shows what they hold (see README.md).
#include <iostream>

#ifdef _WIN32
#include <io.h>
#define VEL_ISATTY _isatty
#else
#include <unistd.h>
#define VEL_ISATTY isatty
#endif

#include "pkgtool/pkgtool_cli.h"

int main(int argc, char** argv)
{
    return PkgToolMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                       VEL_ISATTY(2) != 0);
}
