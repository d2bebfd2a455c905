// The update agent's three questions: is a probe due now (ShotTimeStatus),
// is the update that a probe found to be offered (GetOkToPerformAU, with a
// code 0..6 and its reason), and is its file the announced size
// (CheckUpdateSize).
//
// The decisions are pure: they take the clock, the description-file readers,
// test mode and the network from their inputs. The process's inputs
// (update_decision_win.cpp) read the files afresh at every call.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "autoupdate/agent_settings.h"

// ---- run flags of the scheduling ------------------------------------------------

// Set by control request 31; the next ShotTimeStatus returns 1 and clears it.
void SetForceShotFlag(bool force);
bool ForceShotFlag();

// The current check: automatic, requested by the user (check now), or a
// requested check that begins with the next step.
enum : int {
    kCheckAutomatic = 0,
    kCheckByUser = 1,
    kCheckRequested = 2
};
void SetAgentCheckMode(int mode);
int AgentCheckMode();

// ---- times ------------------------------------------------------------------------

// a + b, held at the ends of the range instead of wrapping: a time or an
// interval from a file can be any number.
TAgentTime SaturatingAdd(TAgentTime a, TAgentTime b);

// ---- is a probe due? ----------------------------------------------------------------

struct TShotInputs {
    bool ProbingEnabled = true;
    bool Force = false;
    bool TestMode = false;  // probes every 5 seconds
    TAgentTime Now = 0;
    TAgentTime ProbeSecondsInterval = 0;  // 0 once per run, negative never automatically
    TAgentTime ProbeSecondsLast = 0;
};

// 0 no probe, 1 probe now, 2 probe now and this is the once-per-run probe.
int ShotTimeStatusFor(const TShotInputs& in);

// now > last + interval, and the interval is positive.
bool IsReAskDueAt(TAgentTime now, TAgentTime last, TAgentTime interval);

// ---- is the update to be offered? ----------------------------------------------

// The network as the size check sees it. Until the HTTP client is wired in
// there is none: no connection and no remote length.
struct TUpdateNetwork {
    bool (*IsInternetConnected)() = nullptr;                    // nullptr: not connected
    int64_t (*HttpFileSize)(const std::string& url) = nullptr;  // nullptr or -1: unknown
};

struct TDecisionInputs {
    std::function<TAgentTime()> Now;
    bool UserRequested = false;  // the check now of the user: re-asking is due
    // .ORIGINAL file
    std::function<int32_t()> VersionOriginal;
    std::function<int32_t()> OriginalStamp;
    std::function<TAgentTime()> ReAskSecondsLast;
    std::function<TAgentTime()> ReAskSecondsInterval;
    // .INFO file
    std::function<int32_t()> VersionNew;
    std::function<int32_t()> NewStamp;
    std::function<std::string()> ValidVersions;
    std::function<bool()> AutoInform;
    std::function<std::string()> DownloadURL_UPDATE;
    std::function<std::string()> NameOfUpdateFile;
    std::function<std::string()> NameOfInformFile;
    std::function<int32_t()> SizeOfUpdateFile;
    std::function<int32_t()> SizeOfInformFile;
    // test mode as last refreshed
    std::function<bool()> TestMode;
    std::function<std::string()> TestLocation;
    // The size of a file on a drive or network path, -1 when there is none.
    std::function<int64_t(const std::string& path)> FileSize;
    TUpdateNetwork Network;
    // The debug stream and the trace log.
    std::function<void(const std::string&)> Debug;
    std::function<void(const std::string&)> Trace;
};

// ValidVersions is empty or lists VersionOriginal.
bool IsValidForVersionWith(const TDecisionInputs& in);
// The UPDATE file (the INFORM file in inform mode) at the update location (the
// test location in test mode) is within 99 bytes of its announced size. The
// file is looked for as location + "\" + name, else, outside test mode and
// when connected, asked for as location + "/" + name. A failure logs the sizes
// and the path or URL tried last.
bool CheckUpdateSizeWith(const TDecisionInputs& in, const std::string& location,
                         const std::string& updateFileName, const std::string& informFileName);

// A file's size is its announced size when they differ by at most 99 bytes.
bool SizeWithinTolerance(int64_t actual, int64_t announced);

// The number of tests passed (each runs only when all before it passed):
// 0 the .INFO file was not fetched, 1 VersionOriginal is not positive, 2 the
// publication was offered before and re-asking is not due, 3 VersionNew is not
// higher, 4 "ValidVersions" excludes the installed version, 5 the size is
// wrong, 6 all passed. True for 6.
bool GetOkToPerformAUWith(const TDecisionInputs& in, bool infoFetched, int& code, std::string& reason);

// Item `code` of the reason list ("" outside 0..6).
std::string DecisionReason(int code);

// ---- the process's decision -------------------------------------------------------

// The network the size check uses; start-up sets it once the HTTP client exists.
void SetUpdateNetwork(const TUpdateNetwork& network);
TUpdateNetwork UpdateNetwork();

#ifdef _WIN32
TDecisionInputs SystemDecisionInputs();

// ShotTimeStatus on the description files, the clock, test mode as last
// refreshed and the run flags; clears the force flag.
int ShotTimeStatus();
bool IsReAskDue();
bool IsValidForVersion();
bool CheckUpdateSize(const std::string& location, const std::string& updateFileName,
                     const std::string& informFileName);
bool GetOkToPerformAU(bool infoFetched, int& code, std::string& reason);
#endif
