#include "autoupdate/update_decision.h"

#include "base/debug_stream.h"

#include "autoupdate/test_mode.h"
#include "base/text_utils.h"
#include "base/trace_log.h"
#include "package/files.h"

TDecisionInputs SystemDecisionInputs()
{
    TDecisionInputs in;
    in.Now = NowLocalDateTime;
    in.UserRequested = AgentCheckMode() == kCheckByUser;
    in.VersionOriginal = GetVersionOriginal;
    in.OriginalStamp = GetOriginalStamp;
    in.ReAskSecondsLast = GetReAskSecondsLast;
    in.ReAskSecondsInterval = GetReAskSecondsInterval;
    in.VersionNew = GetVersionNew;
    in.NewStamp = GetNewStamp;
    in.ValidVersions = GetValidVersions;
    in.AutoInform = GetAutoInform;
    in.DownloadURL_UPDATE = GetDownloadURL_UPDATE;
    in.NameOfUpdateFile = GetNameOfUpdateFile;
    in.NameOfInformFile = GetNameOfInformFile;
    in.SizeOfUpdateFile = GetSizeOfUpdateFile;
    in.SizeOfInformFile = GetSizeOfInformFile;
    in.TestMode = TestModeOn;
    in.TestLocation = TestLocation;
    in.FileSize = [](const std::string& path) -> int64_t {
        return FileExists(path) ? FileSizeByName(path) : -1;
    };
    in.Network = UpdateNetwork();
    in.Debug = [](const std::string& line) { DebugOut() << line << DebugEndl; };
    in.Trace = [](const std::string& line) { Trace(line); };
    return in;
}

int ShotTimeStatus()
{
    TShotInputs in;
    in.ProbingEnabled = IsProbingEnabled();
    in.Force = ForceShotFlag();
    in.TestMode = TestModeOn();
    in.Now = NowLocalDateTime();
    in.ProbeSecondsInterval = GetProbeSecondsInterval();
    in.ProbeSecondsLast = GetProbeSecondsLast();
    SetForceShotFlag(false);
    return ShotTimeStatusFor(in);
}

bool IsReAskDue()
{
    return IsReAskDueAt(NowLocalDateTime(), GetReAskSecondsLast(), GetReAskSecondsInterval());
}

bool IsValidForVersion()
{
    return IsValidForVersionWith(SystemDecisionInputs());
}

bool CheckUpdateSize(const std::string& location, const std::string& updateFileName,
                     const std::string& informFileName)
{
    return CheckUpdateSizeWith(SystemDecisionInputs(), location, updateFileName, informFileName);
}

bool GetOkToPerformAU(bool infoFetched, int& code, std::string& reason)
{
    return GetOkToPerformAUWith(SystemDecisionInputs(), infoFetched, code, reason);
}
