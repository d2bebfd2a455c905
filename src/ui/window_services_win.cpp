#include "ui/window_services.h"

#include <shellapi.h>

#include "base/safe_library.h"

namespace {

UINT g_autoplay_message = 0;

}  // namespace

void SetAutoPlayCancel(bool on)
{
    g_autoplay_message = on ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
}

UINT AutoPlayCancelMessage()
{
    return g_autoplay_message;
}

int PointsToPixels(int points)
{
    static const int pixels_per_inch = [] {
        HDC dc = GetDC(nullptr);
        const int value = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
        if (dc) ReleaseDC(nullptr, dc);
        return value > 0 ? value : 96;
    }();
    return MulDiv(points, pixels_per_inch, 72);
}

bool ShellOpen(const std::string& file, const std::string& parameters, int show_command)
{
    HINSTANCE result =
        ShellExecuteA(GetDesktopWindow(), nullptr, file.c_str(),
                      parameters.empty() ? nullptr : parameters.c_str(), nullptr, show_command);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

FARPROC GetProcFromLibrary(const std::string& library, const std::string& entry, HMODULE& library_handle)
{
    library_handle = static_cast<HMODULE>(LoadSystemLibrary(library));
    if (reinterpret_cast<UINT_PTR>(library_handle) < 33) return nullptr;
    return GetProcAddress(library_handle, entry.c_str());
}
