// pkgtool: builds launcher packages and shows what they hold (see README.md).
#include <iostream>

#include "pkgtool/pkgtool_cli.h"

int main(int argc, char** argv)
{
    return PkgToolMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
