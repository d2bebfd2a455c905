// Loading of system libraries at run time, from the system folder only.
//
// Every run-time library load of the program goes through LoadSystemLibrary,
// so that a DLL planted beside the program (a Downloads folder) or in the
// current folder is never picked up by name.
#pragma once

#include <string>

// True for a plain file name without folder, drive or "." / ".." parts.
bool IsBareLibraryName(const std::string& name);

// The libraries that the launcher keeps loaded for the whole run, in load order.
constexpr const char* PreloadedLibraries[] = {"shell32.dll", "USP10.dll", "MSLS31.dll", "RICHED32.DLL"};

#ifdef _WIN32
#include <windows.h>

// Loads the bare file name (e.g. "wininet.dll") from the system folder:
// LoadLibraryEx with LOAD_LIBRARY_SEARCH_SYSTEM32 where the system knows that
// flag, else by its full path below GetSystemDirectory. Names with a path,
// drive or relative part are refused. nullptr on failure.
HMODULE LoadSystemLibrary(const std::string& name);

// The same with the way chosen by the caller: the search flag, or the full
// path below the system folder (the way of systems without the flag).
HMODULE LoadSystemLibraryVia(const std::string& name, bool searchFlag);

// The full path below the system folder used on systems without the search
// flags; "" when the name is refused.
std::string SystemLibraryPath(const std::string& name);

// Restricts the process's default library search to the system folder where
// SetDefaultDllDirectories exists, and drops the current folder from the
// search (SetDllDirectory("")) where that exists. Returns whether the default
// search was restricted. Called first thing at start-up.
bool RestrictLibrarySearch();

// Loads PreloadedLibraries with SEM_NOOPENFILEERRORBOX in force (a missing
// one shows no system error box). Returns how many were loaded; they stay
// loaded until the process ends.
int PreloadSystemLibraries();
#endif
