// File version of an executable from its version resource.
#include "base/system_error.h"
#include "base/paths.h"
#include "lang/sysinfo.h"

#include <windows.h>

#include <cstdio>
#include "base/debug_stream.h"
#include <vector>

namespace {

void ReportVersionFailure(const std::string& reason)
{
    DebugOut() << " --- Utils.GetExeVersion() --- " << reason << DebugEndl;
}

}  // namespace

std::string GetExeVersion(const std::string& file, int width, int count)
{
    const std::string path = file.empty() ? ProgramPath() : file;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
    if (size == 0) {
        ReportVersionFailure("No version information: " + path + " " + LastErrorText());
        return "";
    }
    std::vector<BYTE> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) {
        ReportVersionFailure(LastErrorText());
        return "";
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len) || !fixed ||
        len < sizeof(VS_FIXEDFILEINFO)) {
        ReportVersionFailure("No fixed file version: " + path);
        return "";
    }
    char text[64];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", static_cast<int>(HIWORD(fixed->dwFileVersionMS)),
                  static_cast<int>(LOWORD(fixed->dwFileVersionMS)),
                  static_cast<int>(HIWORD(fixed->dwFileVersionLS)),
                  static_cast<int>(LOWORD(fixed->dwFileVersionLS)));
    if (width > 1 || count < 4) return FormatVersionText(text, width, count);
    return text;
}
