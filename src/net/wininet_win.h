// WinINet bound at run time from the system folder: the library is loaded on
// the first call that needs it and each entry looked up on its first use and
// kept once found (what is missing is looked for again on the next call). A
// call whose library or entry is missing fails like the system call would
// (no handle, FALSE, no bytes) with ERROR_PROC_NOT_FOUND as the last error.
#pragma once

#include <windows.h>
#include <wininet.h>

#include "base/handle.h"

namespace wininet {

BOOL WINAPI GetConnectedState(LPDWORD flags, DWORD reserved);
HINTERNET WINAPI Open(LPCSTR agent, DWORD access, LPCSTR proxy, LPCSTR bypass, DWORD flags);
HINTERNET WINAPI OpenUrl(HINTERNET session, LPCSTR url, LPCSTR headers, DWORD headersLength, DWORD flags,
                         DWORD_PTR context);
BOOL WINAPI Close(HINTERNET handle);
BOOL WINAPI QueryInfo(HINTERNET request, DWORD level, LPVOID buffer, LPDWORD length, LPDWORD index);
BOOL WINAPI Read(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL WINAPI SetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length);
BOOL WINAPI GetLastResponseInfo(LPDWORD error, LPSTR buffer, LPDWORD length);

// The loaded library (for its message texts), or nullptr.
HMODULE Module();
// Unloads the library and forgets every entry.
void Free();

}  // namespace wininet

// An Internet handle closed when the owner goes (HINTERNET is a HANDLE-sized
// pointer, so the kernel handle owner serves with WinINet's closer).
using TInternetHandle = TOwnedHandle<wininet::Close>;
