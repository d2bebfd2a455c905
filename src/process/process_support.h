#pragma once
// Small platform services of the process module (Windows builds only).

#include <string>

// System text of GetLastError(), trimmed.
std::string ProcessLastErrorText();

// Waits ms milliseconds while dispatching the thread's messages in short sleeps.
void ProcessWaitPumping(unsigned long ms);

// Loads a system library from the system folder only (never from the program's or current folder).
void* LoadSystemLibraryOnly(const char* name);
