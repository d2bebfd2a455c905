// Small window helpers.
#include "lang/sysinfo.h"
#include "lang/window_info_win.h"

#include <windows.h>

#include <vector>

void CenterInWorkArea(int width, int height, int& x, int& y)
{
    RECT r = {0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    CenterInRect(r.left, r.top, r.right, r.bottom, width, height, x, y);
}

HWND TopLevelOwner(HWND wnd)
{
    while (wnd) {
        HWND owner = GetWindow(wnd, GW_OWNER);
        if (!owner) break;
        wnd = owner;
    }
    return wnd;
}

std::string WindowClassText(HWND wnd)
{
    if (!wnd) return "";
    std::vector<char> buf(10241, 0);
    const int n = GetClassNameA(wnd, buf.data(), static_cast<int>(buf.size()));
    return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : "";
}

std::string WindowTextOf(HWND wnd)
{
    if (!wnd) return "";
    std::vector<char> buf(102401, 0);
    const int n = GetWindowTextA(wnd, buf.data(), static_cast<int>(buf.size()));
    return n > 0 ? std::string(buf.data(), static_cast<size_t>(n)) : "";
}
