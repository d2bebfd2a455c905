#ifndef _WIN32
#include <cerrno>
#include <cstring>

#include "base/system_error.h"

std::string LastErrorText()
{
    return std::strerror(errno);
}

uint32_t LastErrorCode()
{
    return static_cast<uint32_t>(errno);
}

std::string SystemErrorText(uint32_t code)
{
    return code == 0 ? "" : std::strerror(static_cast<int>(code));
}
#endif
