#include "process/process_support.h"

#include <windows.h>

std::string ProcessLastErrorText() {
  const DWORD code = GetLastError();
  char buffer[1024] = {};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, n);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ' ||
                           text.back() == '.'))
    text.pop_back();
  if (text.empty()) text = "Error " + std::to_string(code);
  return text;
}

void ProcessWaitPumping(unsigned long ms) {
  const DWORD start = GetTickCount();
  DWORD step = ms / 10;
  if (step < 1) step = 1;
  if (step > 25) step = 25;
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(step);
  } while (GetTickCount() - start < ms);  // unsigned difference survives the wrap
}

void* LoadSystemLibraryOnly(const char* name) {
  // LOAD_LIBRARY_SEARCH_SYSTEM32 is understood only where SetDefaultDllDirectories exists.
  const bool searchFlags =
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
  if (searchFlags) return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  char folder[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::string path(folder, n);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryA(path.c_str());
}
