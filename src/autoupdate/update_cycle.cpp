#include "autoupdate/update_cycle.h"

#include "base/paths.h"
#include "base/text_utils.h"
#include "package/unpack.h"

TShutDownMethod ParseShutDownMethod(const std::string& method)
{
    if (method == "Issue a Message Box") return TShutDownMethod::AskUser;
    if (method == "Using WM_CLOSE") return TShutDownMethod::Close;
    if (method == "Using WM_QUIT") return TShutDownMethod::Quit;
    if (method == "Using Terminate Process") return TShutDownMethod::Terminate;
    if (method == "Don't Shut Down") return TShutDownMethod::DontShutDown;
    return TShutDownMethod::Other;
}

std::string UpdateFileName(const std::string& key, const std::vector<std::string>& ownNames)
{
    const std::string name = FileNamePartAnySlash(key);
    // IsSafeEntryName refuses "", ".", "..", devices and streams; a wildcard
    // or a character that no file name holds would name another file or none.
    if (!IsSafeEntryName(name) || name.find_first_of("*?\"<>|") != std::string::npos) return "";
    for (unsigned char c : name)
        if (c < 32) return "";
    const std::string upper = AnsiUpperCase(name);
    for (const std::string& own : ownNames)
        if (!own.empty() && AnsiUpperCase(FileNamePartAnySlash(own)) == upper) return "";
    return name;
}

std::string FetchWorkingPath(const std::string& finalPath)
{
    return finalPath + ".fetch";
}

std::string ReplaceProgName(const std::string& text, const std::string& name)
{
    return ReplaceAll(text, "PROG_NAME", name, false);
}

std::string DownloadNoticeText(const TNoticeTexts& t, bool confirmInstall, bool downloadForce,
                               const std::string& programName)
{
    std::string second = confirmInstall ? t.S13 : t.S12;
    if (downloadForce) second = confirmInstall ? t.S19 : t.S18;
    return ReplaceProgName(t.S11 + second, programName);
}

std::string InstallNoticeText(const TNoticeTexts& t, bool installForce, const std::string& programName)
{
    return ReplaceProgName(installForce ? t.S20 : t.S14, programName);
}

std::string FetchFailureText(const std::string& source, bool aborted, const std::string& s3,
                             const std::string& s4, const std::string& s5)
{
    if (aborted) return s3;
    const bool folder = (source.size() > 1 && source[1] == ':') || source.rfind("\\\\", 0) == 0;
    return source + "<P><P>" + (folder ? s4 : s5);
}

std::string AgentRestartCommand(const std::string& agentFolder, const std::string& agentExeName,
                                const std::string& transientText)
{
    return QuoteProgramPath(SetTrailingBackslash(agentFolder, true) + agentExeName) +
           " /_ZZ=99 /WAIT=10 /TRANSIENT=" + transientText;
}

int ShutDownState(bool wasRunning, bool stillRunning)
{
    if (!wasRunning) return 0;
    return stillRunning ? 1 : 2;
}

std::string FolderSource(const std::string& location, const std::string& name)
{
    return location + "\\" + name;
}

std::string UrlSource(const std::string& location, const std::string& name)
{
    return location + "/" + name;
}
