#include "process/process_support.h"

#include <windows.h>

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
      LibraryEntry(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories") != nullptr;
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  if (searchFlags) return LoadLibraryExA(name, nullptr, kSearchSystem32);
  char folder[MAX_PATH + 1] = {};
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return nullptr;
  std::string path(folder, n);
  if (path.back() != '\\') path += '\\';
  path += name;
  return LoadLibraryA(path.c_str());
}

void* LibraryEntry(void* library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
