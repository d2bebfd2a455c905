#ifndef _WIN32
#include <unistd.h>

#include <vector>

#include "base/paths.h"

std::string ProgramPath()
{
    std::vector<char> buf(4096);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : std::string();
}
#endif
