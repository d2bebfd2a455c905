#include "base/switches.h"

#include "base/lists.h"
#include "base/paths.h"
#include "base/text_utils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool g_source_set = false;
std::string g_source_command_line;
std::string g_source_program_path;

// Position of needle in text ignoring case, npos when absent or needle empty.
size_t FindNoCase(const std::string& text, const std::string& needle)
{
    if (needle.empty()) return std::string::npos;
    return AnsiUpperCase(text).find(AnsiUpperCase(needle));
}

const char kSwitchSeparator = '\x01';

}  // namespace

std::string RawCommandLine()
{
    if (g_source_set) return g_source_command_line;
#ifdef _WIN32
    const char* cmd = GetCommandLineA();
    return cmd ? cmd : "";
#else
    return "";
#endif
}

std::string CommandLineProgramPath()
{
    if (g_source_set) return g_source_program_path;
#ifdef _WIN32
    return ProgramPath();
#else
    return "";
#endif
}

void SetCommandLineSource(const std::string& commandLine, const std::string& programPath)
{
    g_source_set = true;
    g_source_command_line = commandLine;
    g_source_program_path = programPath;
}

std::string GetArgsTextFrom(const std::string& commandLine, const std::string& programPath)
{
    std::string text = commandLine;
    const std::string fileName = FileNamePart(programPath);
    size_t pos = FindNoCase(text, fileName + "\"");
    if (pos != std::string::npos) {
        text.erase(0, pos + fileName.size() + 1);
    } else if ((pos = FindNoCase(text, fileName)) != std::string::npos) {
        text.erase(0, pos + fileName.size());
    } else if (!programPath.empty() && (pos = text.find(programPath)) != std::string::npos) {
        text.erase(pos, programPath.size());
    }
    text = TrimBlanks(text);
    return text.size() == 1 ? "" : text;
}

std::string GetSwitchStrFrom(const std::string& argsText, const std::string& name, const std::string& def)
{
    std::string key = TrimBlanks(name);
    if (key.empty()) return def;
    const char switchChar = key[0] == '-' ? '-' : '/';
    key = ReplaceAll(key, std::string(1, switchChar), "", false);
    if (key.empty()) return def;

    std::string list = " " + argsText;
    list = ReplaceAll(list, "\"", "", false);
    list = ReplaceAll(list, std::string(" ") + switchChar, std::string(1, kSwitchSeparator), false);
    list = kSwitchSeparator + list + kSwitchSeparator;

    // The separator cannot occur in a value, so it tells an absent switch apart.
    const std::string absent(1, kSwitchSeparator);
    const std::string value = ListValue(list, key, absent, "");
    return value == absent ? def : TrimBlanks(value);
}

int64_t GetSwitchIntFrom(const std::string& argsText, const std::string& name, int64_t def)
{
    const std::string absent(1, kSwitchSeparator);
    const std::string value = GetSwitchStrFrom(argsText, name, absent);
    return value == absent ? def : DecimalOr(value, def);
}

bool HasSwitchFrom(const std::string& argsText, const std::string& name)
{
    const std::string key = TrimBlanks(name);
    if (key.empty()) return false;
    return FindNoCase(argsText + " ", key + " ") != std::string::npos;
}

std::string GetArgsText()
{
    return GetArgsTextFrom(RawCommandLine(), CommandLineProgramPath());
}

std::string GetSwitchStr(const std::string& name, const std::string& def)
{
    return GetSwitchStrFrom(GetArgsText(), name, def);
}

int64_t GetSwitchInt(const std::string& name, int64_t def)
{
    return GetSwitchIntFrom(GetArgsText(), name, def);
}

bool HasSwitch(const std::string& name)
{
    return HasSwitchFrom(GetArgsText(), name);
}
