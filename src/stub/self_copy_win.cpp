// Self-copy and control switches: entry points of the mode dispatch. The copy,
// relaunch and self-delete work is not built yet; these keep the dispatch
// complete and leave their trace lines.
#include "stub/self_copy.h"

#include "base/switches.h"
#include "base/trace_log.h"

#include <windows.h>

#include "base/debug_stream.h"

void CreateAndRun_X_Exe()
{
    Trace("CreateAndRun_X_Exe() --- Start");
    DebugOut() << GetCurrentProcessId() << " CreateAndRun_X_Exe-1 " << GetSwitchStr(SwitchZZ, "")
               << DebugEndl;
    Trace("CreateAndRun_X_Exe() --- End");
}

bool HandleParamOK(bool)
{
    Trace("HandleParamOK() --- Start");
    Trace("HandleParamOK() --- End");
    return false;
}

void RelaunchFromTemp() {}

void DeleteMySelf(bool, bool) {}
