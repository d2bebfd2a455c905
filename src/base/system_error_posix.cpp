#ifndef _WIN32
#include <cerrno>
#include <cstring>

#include "base/system_error.h"

std::string LastErrorText()
{
    return std::strerror(errno);
}

std::string SystemErrorText(uint32_t code)
{
    return code == 0 ? "" : std::strerror(static_cast<int>(code));
}
#endif
