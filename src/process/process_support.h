#pragma once
// Small platform services of the process module (Windows builds only).

#include <string>

// Waits ms milliseconds while dispatching the thread's messages in short sleeps.
void ProcessWaitPumping(unsigned long ms);

// Loads a system library from the system folder only (never from the program's or current folder).
void* LoadSystemLibraryOnly(const char* name);

// Address of an entry of a loaded library, null when missing.
void* LibraryEntry(void* library, const char* name);

template <typename Fn>
Fn BindEntry(void* library, const char* name) {
  return reinterpret_cast<Fn>(LibraryEntry(library, name));
}
