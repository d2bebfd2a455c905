// Small window-system services: AutoPlay suppression, point/pixel conversion,
// shell open, and run-time binding of system library entries.
#pragma once

#include <windows.h>

#include <string>

// on: registers "QueryCancelAutoPlay" and keeps its id; off: forgets it.
void SetAutoPlayCancel(bool on);
// The kept id, 0 when not registered. Windows answer it with 1 (no AutoPlay).
UINT AutoPlayCancelMessage();

// MulDiv(points, pixels per logical inch of the screen, 72); the screen
// resolution is read once.
int PointsToPixels(int points);

// ShellExecuteA with the desktop as parent, the default verb and no
// directory; true when the result is above 32.
bool ShellOpen(const std::string& file, const std::string& parameters, int show_command);

// Loads `library` with LoadSystemLibrary (lang/safe_library.h) and returns the address of `entry`;
// the handle goes back in `library_handle` (also when the entry is missing) for
// the caller to free.
FARPROC GetProcFromLibrary(const std::string& library, const std::string& entry, HMODULE& library_handle);
