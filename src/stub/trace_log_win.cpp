#include <windows.h>

#include "stub/trace_log.h"

std::string TraceProgramPath() {
  char buf[MAX_PATH + 1] = {};
  const DWORD n = GetModuleFileNameA(nullptr, buf, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buf, n) : std::string();
}

uint32_t TraceThreadId() { return GetCurrentThreadId(); }
