#include "process/process_support.h"

#include <windows.h>

#include "lang/safe_library.h"
#include "ui/pump.h"

void ProcessWaitPumping(unsigned long ms) { WaitPumping(static_cast<int>(ms), 0); }

void* LoadSystemLibraryOnly(const char* name) { return LoadSystemLibrary(name); }

void* LibraryEntry(void* library, const char* name) {
  if (!library) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
