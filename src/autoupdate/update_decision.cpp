#include "autoupdate/update_decision.h"

#include <limits>

#include "base/lists.h"

namespace {

constexpr const char* kReasons =
    "|Error downloading .INFO file|Error reading .ORIGINAL file|Too early for retesting"
    "|New version is not higher then old version|\"Valid for version\" mismatch"
    "|Download file size error|OK|";

constexpr TAgentTime kTestModeInterval = 5;
constexpr int64_t kSizeTolerance = 100;  // up to 99 bytes of difference pass

bool g_force_shot = false;
int gCheckMode = kCheckAutomatic;
TUpdateNetwork g_network;

int32_t Low32(int64_t value)
{
    return static_cast<int32_t>(static_cast<uint32_t>(value));
}

void Write(const std::function<void(const std::string&)>& out, const std::string& line)
{
    if (out) out(line);
}

}  // namespace

void SetForceShotFlag(bool force)
{
    g_force_shot = force;
}
bool ForceShotFlag()
{
    return g_force_shot;
}
void SetAgentCheckMode(int mode)
{
    gCheckMode = mode;
}
int AgentCheckMode()
{
    return gCheckMode;
}

void SetUpdateNetwork(const TUpdateNetwork& network)
{
    g_network = network;
}
TUpdateNetwork UpdateNetwork()
{
    return g_network;
}

TAgentTime SaturatingAdd(TAgentTime a, TAgentTime b)
{
    TAgentTime sum = 0;
    if (!__builtin_add_overflow(a, b, &sum)) return sum;
    return b > 0 ? std::numeric_limits<TAgentTime>::max() : std::numeric_limits<TAgentTime>::min();
}

int ShotTimeStatusFor(const TShotInputs& in)
{
    if (!in.ProbingEnabled && !in.Force) return 0;
    const TAgentTime interval = in.TestMode ? kTestModeInterval : in.ProbeSecondsInterval;
    int status = in.Now >= SaturatingAdd(in.ProbeSecondsLast, interval) ? 1 : 0;
    if (in.ProbeSecondsInterval == 0 && status == 1) status = 2;
    // -1 switches automatic probes off; any other negative value, which a local
    // program can set through a control request, does too.
    if (in.ProbeSecondsInterval < 0) status = 0;
    if (in.Force) status = 1;
    return status;
}

bool IsReAskDueAt(TAgentTime now, TAgentTime last, TAgentTime interval)
{
    return interval > 0 && now > SaturatingAdd(last, interval);
}

bool IsValidForVersionWith(const TDecisionInputs& in)
{
    return IsValidVersion(in.ValidVersions(), in.VersionOriginal());
}

bool CheckUpdateSizeWith(const TDecisionInputs& in, const std::string& location,
                         const std::string& updateFileName, const std::string& informFileName)
{
    int32_t expected = in.SizeOfUpdateFile();
    std::string name = updateFileName;
    if (in.AutoInform()) {
        name = informFileName;
        expected = in.SizeOfInformFile();
    }
    name = FetchedFileName(name);
    const bool testMode = in.TestMode();
    const std::string from = testMode ? in.TestLocation() : location;

    int32_t actual = -1;
    std::string tried = from + "\\" + name;
    const int64_t local = in.FileSize(tried);
    if (local >= 0) {
        actual = Low32(local);
    } else if (!testMode && in.Network.IsInternetConnected && in.Network.IsInternetConnected()) {
        tried = from + "/" + name;
        actual = in.Network.HttpFileSize ? Low32(in.Network.HttpFileSize(tried)) : -1;
    }
    const bool passed = SizeWithinTolerance(actual, expected);
    if (!passed) {
        Write(in.Trace, "  InfoSize=" + std::to_string(expected));
        Write(in.Trace, "  HttpSize=" + std::to_string(actual));
        Write(in.Trace, "  URL=" + tried);
    }
    return passed;
}

bool SizeWithinTolerance(int64_t actual, int64_t announced)
{
    // The distance in unsigned arithmetic: exact for any pair, so neither a
    // wrapped 32-bit size nor an extreme announced one (a hostile
    // description file) can pass as close.
    const uint64_t distance = actual >= announced
                                  ? static_cast<uint64_t>(actual) - static_cast<uint64_t>(announced)
                                  : static_cast<uint64_t>(announced) - static_cast<uint64_t>(actual);
    return distance < static_cast<uint64_t>(kSizeTolerance);
}

std::string DecisionReason(int code)
{
    return code >= 0 && code <= 6 ? ListItem(kReasons, code) : "";
}

bool GetOkToPerformAUWith(const TDecisionInputs& in, bool infoFetched, int& code, std::string& reason)
{
    code = infoFetched ? 1 : 0;
    if (code == 1 && in.VersionOriginal() > 0) code = 2;
    if (code == 2 &&
        (in.NewStamp() != in.OriginalStamp() ||
         IsReAskDueAt(in.Now(), in.ReAskSecondsLast(), in.ReAskSecondsInterval()) || in.UserRequested))
        code = 3;
    if (code == 3 && in.VersionNew() > in.VersionOriginal()) code = 4;
    if (code == 4 && IsValidForVersionWith(in)) code = 5;
    if (code == 5 &&
        CheckUpdateSizeWith(in, in.DownloadURL_UPDATE(), in.NameOfUpdateFile(), in.NameOfInformFile()))
        code = 6;
    reason = DecisionReason(code);
    Write(in.Debug, " GetOkToPerformAU=" + std::to_string(code));
    Write(in.Trace, "GetOkToPerformAU = " + std::to_string(code) + " - " + reason);
    return code == 6;
}
