// Window helpers of the system-information module (Windows only).
#pragma once

#include <windows.h>

#include <string>

// Follows GW_OWNER until a window has no owner.
HWND TopLevelOwner(HWND wnd);
// Class name and text of a window; empty for a null handle.
std::string WindowClassText(HWND wnd);
std::string WindowTextOf(HWND wnd);
