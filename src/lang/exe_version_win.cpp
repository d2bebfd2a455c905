// File version of an executable from its version resource.
#include "base/system_error.h"
#include "base/paths.h"
#include "lang/sysinfo.h"

#include <windows.h>

#include <string>
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
    const std::string text = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                             std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                             std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
                             std::to_string(LOWORD(fixed->dwFileVersionLS));
    if (width > 1 || count < 4) return FormatVersionText(text, width, count);
    return text;
}
