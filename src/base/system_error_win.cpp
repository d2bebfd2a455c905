#include <windows.h>

#include "base/system_error.h"

namespace {

std::string FormatSystemMessage(DWORD code)
{
    char* msg = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPSTR>(&msg), 0, nullptr);
    std::string text;
    if (n > 0 && msg) text.assign(msg, n);
    if (msg) LocalFree(msg);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    if (text.empty()) return "Error Reading \"SysUtils.SysErrorMessage(GetLastError)\"";
    return text;
}

}  // namespace

std::string LastErrorText()
{
    const DWORD code = GetLastError();
    std::string text = FormatSystemMessage(code);
    SetLastError(code);
    return text;
}

uint32_t LastErrorCode()
{
    return GetLastError();
}

std::string SystemErrorText(uint32_t code)
{
    return code == 0 ? "" : FormatSystemMessage(code);
}
