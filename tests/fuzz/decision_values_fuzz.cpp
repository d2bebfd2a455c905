// The values the update decision reads from the description files, which a
// web server publishes: the input is an ini section ("Key=Value" lines), and
// every value goes through the decision, the size check, the version list,
// the file names and the times.
#include "autoupdate/agent_settings.h"
#include "autoupdate/update_decision.h"
#include "base/text_utils.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::map<std::string, std::string> ParseSection(const std::string& text)
{
    std::map<std::string, std::string> values;
    size_t at = 0;
    while (at <= text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(at, end - at);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) values[TrimBlanks(line.substr(0, eq))] = TrimBlanks(line.substr(eq + 1));
        at = end + 1;
    }
    return values;
}

bool HasSeparator(const std::string& name)
{
    return name.find_first_of("\\/:") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::map<std::string, std::string> v =
        ParseSection(std::string(reinterpret_cast<const char*>(data), size));
    auto text = [&v](const char* key) {
        auto it = v.find(key);
        return it == v.end() ? std::string() : it->second;
    };
    // The ini reader's numbers: the whole text as a decimal, else the default,
    // cut to 32 bits where the getter returns int32_t.
    auto number = [&](const char* key) { return DecimalOr(text(key), 0); };
    auto number32 = [&](const char* key) { return static_cast<int32_t>(number(key)); };

    TDecisionInputs in;
    in.Now = [&] { return number("Now"); };
    in.UserRequested = number("UserRequested") == 1;
    in.VersionOriginal = [&] { return number32("VersionOriginal"); };
    in.OriginalStamp = [&] { return number32("OriginalStamp"); };
    in.ReAskSecondsLast = [&] { return number("ReAskSecondsLast"); };
    in.ReAskSecondsInterval = [&] { return number("ReAskSecondsInterval"); };
    in.VersionNew = [&] { return number32("VersionNew"); };
    in.NewStamp = [&] { return number32("NewStamp"); };
    in.ValidVersions = [&] { return text("ValidVersions"); };
    in.AutoInform = [&] { return text("AutoInform") == "1"; };
    in.DownloadURL_UPDATE = [&] { return text("DownloadURL_UPDATE"); };
    in.NameOfUpdateFile = [&] { return text("NameOfUpdateFile"); };
    in.NameOfInformFile = [&] { return text("NameOfInformFile"); };
    in.SizeOfUpdateFile = [&] { return number32("SizeOfUpdateFile"); };
    in.SizeOfInformFile = [&] { return number32("SizeOfInformFile"); };
    in.TestMode = [&] { return text("TestMode") == "1"; };
    in.TestLocation = [&] { return text("TestLocation"); };
    in.FileSize = [&](const std::string&) { return number("FileSize"); };
    in.Debug = [](const std::string&) {};
    in.Trace = [](const std::string&) {};

    int code = -1;
    std::string reason;
    const bool ok = GetOkToPerformAUWith(in, number("Fetched") != 0, code, reason);
    if (code < 0 || code > 6 || ok != (code == 6) || reason != DecisionReason(code)) std::abort();
    (void)IsValidForVersionWith(in);
    (void)CheckUpdateSizeWith(in, text("DownloadURL_UPDATE"), text("NameOfUpdateFile"),
                              text("NameOfInformFile"));
    (void)SizeWithinTolerance(number("FileSize"), number("SizeOfUpdateFile"));
    (void)IsValidVersion(text("ValidVersions"), number32("VersionOriginal"));

    TShotInputs shot;
    shot.Now = number("Now");
    shot.ProbeSecondsInterval = number("ProbeSecondsInterval");
    shot.ProbeSecondsLast = number("ProbeSecondsLast");
    shot.TestMode = text("TestMode") == "1";
    const int status = ShotTimeStatusFor(shot);
    if (status < 0 || status > 2) std::abort();
    (void)IsReAskDueAt(number("Now"), number("ReAskSecondsLast"), number("ReAskSecondsInterval"));
    (void)SaturatingAdd(number("ProbeSecondsLast"), number("ProbeSecondsInterval"));
    (void)ReadableAgentTime(number("ProbeSecondsLast"));

    // A fetched file stays in the agent folder whatever its key says.
    if (HasSeparator(FetchedFileName(text("NameOfUpdateFile"))) ||
        HasSeparator(FetchedFileName(text("NameOfInformFile"))))
        std::abort();
    (void)InfoFilePathIn("C:\\agent\\", text("Info"));
    (void)OriginalFilePathIn("C:\\agent\\", text("Info"));
    (void)AgentTextDefault(text("Key"));
    return 0;
}
