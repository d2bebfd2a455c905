#include <windows.h>

#include <vector>

#include "base/paths.h"

namespace {

constexpr DWORD kFolderBufferSize = 261;

}  // namespace

std::string ProgramPath()
{
    // Long paths are possible; grow until the name fits.
    std::vector<char> buf(MAX_PATH + 1);
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return "";
        if (n < buf.size() - 1) return std::string(buf.data(), n);
        if (buf.size() > 32768) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string WindowsFolder(bool flag)
{
    char buf[kFolderBufferSize] = {};
    const UINT n = GetWindowsDirectoryA(buf, kFolderBufferSize);
    if (n == 0 || n >= kFolderBufferSize) return "";
    return SetTrailingBackslash(buf, flag);
}

std::string SystemFolder(bool flag)
{
    char buf[kFolderBufferSize] = {};
    const UINT n = GetSystemDirectoryA(buf, kFolderBufferSize);
    if (n == 0 || n >= kFolderBufferSize) return "";
    return SetTrailingBackslash(buf, flag);
}

std::string TempFolder(bool flag)
{
    char buf[kFolderBufferSize] = {};
    const DWORD n = GetTempPathA(kFolderBufferSize, buf);
    if (n == 0 || n >= kFolderBufferSize) return "";
    return SetTrailingBackslash(buf, flag);
}
