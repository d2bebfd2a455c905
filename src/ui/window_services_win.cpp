#include "ui/window_services.h"

#include <shellapi.h>

namespace {

UINT g_autoplay_message = 0;

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// LOAD_LIBRARY_SEARCH_SYSTEM32 is understood where AddDllDirectory exists
// (Windows 8, or 7 / Vista with the loader update).
bool HasSearchSystem32() {
  static const bool has = [] {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    return kernel && GetProcAddress(kernel, "AddDllDirectory") != nullptr;
  }();
  return has;
}

}  // namespace

void SetAutoPlayCancel(bool on) {
  g_autoplay_message = on ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;
}

UINT AutoPlayCancelMessage() { return g_autoplay_message; }

int PointsToPixels(int points) {
  static const int pixels_per_inch = [] {
    HDC dc = GetDC(nullptr);
    const int value = dc ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return value > 0 ? value : 96;
  }();
  return MulDiv(points, pixels_per_inch, 72);
}

bool ShellOpen(const std::string& file, const std::string& parameters, int show_command) {
  HINSTANCE result =
      ShellExecuteA(GetDesktopWindow(), nullptr, file.c_str(),
                    parameters.empty() ? nullptr : parameters.c_str(), nullptr, show_command);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

HMODULE LoadSystemLibrary(const std::string& name) {
  if (name.empty() || name.find_first_of("\\/:") != std::string::npos) return nullptr;
  if (HasSearchSystem32()) return LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char folder[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  const std::string path = std::string(folder, n) + "\\" + name;
  return LoadLibraryA(path.c_str());
}

FARPROC GetProcFromLibrary(const std::string& library, const std::string& entry,
                           HMODULE& library_handle) {
  library_handle = LoadSystemLibrary(library);
  if (reinterpret_cast<UINT_PTR>(library_handle) < 33) return nullptr;
  return GetProcAddress(library_handle, entry.c_str());
}
