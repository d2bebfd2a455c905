#include "base/safe_library.h"

bool IsBareLibraryName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (c == '\\' || c == '/' || c == ':' || c == '\0') return false;
    return true;
}
