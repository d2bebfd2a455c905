#include <windows.h>

#include "base/trace_log.h"

uint32_t TraceThreadId()
{
    return GetCurrentThreadId();
}
