#include "setup/setup_flow.h"

#include "package/unpack.h"

#include <algorithm>

#include "base/text_utils.h"

namespace {
uint32_t g_exit_code = 0;
}  // namespace

std::string SetupTempFolderName(const std::string& temp_path, uint32_t dos_date_time)
{
    return temp_path + kSetupFolderPrefix + std::to_string(dos_date_time & 0xFFFFu);
}

std::string ThreadTag(uint32_t thread_id)
{
    std::string tag = "_";
    tag += std::to_string(thread_id);
    return tag;
}

std::string FormatMegabytes(double bytes)
{
    double mb = bytes > 0 ? bytes / 1048576.0 : 0.0;
    const int decimals = mb > 10 ? 1 : (mb >= 1 ? 2 : 3);
    return FormatDecimal(mb, decimals);
}

std::string RemoveSwitch(const std::string& command_line, const std::string& switch_text)
{
    if (switch_text.empty()) return command_line;
    const size_t at = command_line.find(switch_text);
    if (at == std::string::npos) return command_line;
    // The switch itself starts with "/": skip it before looking for the next one.
    size_t end = command_line.find('/', at + 1);
    if (end == std::string::npos) end = command_line.size();
    return command_line.substr(0, at) + command_line.substr(end);
}

TMainEntry SplitMainEntry(const std::string& main_entry)
{
    // The program is named by the extraction's own rule: the one it checked.
    const size_t star = main_entry.find('*');
    return {MainEntryProgram(main_entry),
            star == std::string::npos ? "" : TrimBlanks(main_entry.substr(star + 1))};
}

std::string BuildSetupCommandLine(const TSetupCommand& c)
{
    const TMainEntry entry = SplitMainEntry(c.MainEntry);
    const std::string parameters = TrimBlanks(c.ExtraParameters + " " + entry.Parameters);
    std::string line = QuoteProgramPath(c.TempFolder + "\\" + entry.FileName);
    if (!parameters.empty()) line += " " + parameters;
    line += " /TH_ID=" + c.ThreadTag;
    if (line.find("/OriginExe=") == std::string::npos) line += " /OriginExe=\"" + c.LauncherPath + "\"";
    if (c.AutoUpdateProg) line += " /AutoUpdateProg";
    line = RemoveSwitch(line, "/SpanCdLvl=");
    line = RemoveSwitch(line, "/SpanDiskFName1=");
    return line;
}

std::string SpaceQuestionKey(bool show_extract_notice, double required, double free)
{
    if (required >= free) return "s3";
    return show_extract_notice ? "s2" : "";
}

std::string BuildSpaceQuestion(const std::string& first_line, const std::string& s4, const std::string& s5,
                               const std::string& s6, const std::string& drive, double required, double free)
{
    std::string text = first_line + s4 + s5 + s6;
    text = ReplaceAll(text, "<DRIVE>", drive, false);
    text = ReplaceAll(text, "<SPACE_REQ>", FormatMegabytes(required), false);
    text = ReplaceAll(text, "<SPACE_AVAIL>", FormatMegabytes(free), false);
    return text;
}

std::string DriveText(const std::string& folder)
{
    if (folder.empty()) return "";
    return AnsiUpperCase(folder.substr(0, 1)) + ":";
}

bool TempSpaceSuffices(double required, double free, bool folder_exists)
{
    return required < free && folder_exists;
}

char ChooseAlternativeDrive(char temp_drive, const double noted_free[3])
{
    char best = temp_drive;
    double best_free = 0;
    for (int i = 0; i < 3; ++i) {
        if (noted_free[i] > best_free) {
            best_free = noted_free[i];
            best = static_cast<char>('C' + i);
        }
    }
    return best == temp_drive ? 0 : best;
}

std::string AlternativeRoot(char letter, bool temp_folder_exists)
{
    std::string root = std::string(1, letter) + ":\\TEMP";
    if (temp_folder_exists) root += "\\TEMP";
    return root;
}

bool IsFlagText(const std::string& value)
{
    return value == "1";
}

uint32_t SetupExitCode()
{
    return g_exit_code;
}
void SetSetupExitCode(uint32_t code)
{
    g_exit_code = code;
}

uint32_t FailedRunExitCode(uint32_t system_error)
{
    return system_error != 0 ? system_error : 1;
}

std::string StartFailureText(const std::string& program, const std::string& reason)
{
    std::string text = "The setup program could not be started:<P><b>" + program + "</b>";
    if (!reason.empty()) text += "<P>" + reason;
    return text;
}

TCommandLineParts SplitCommandLine(const std::string& command_line)
{
    const std::string line = TrimBlanks(command_line);
    size_t end = 0;
    TCommandLineParts parts;
    if (!line.empty() && line[0] == '"') {
        const size_t close = line.find('"', 1);
        end = close == std::string::npos ? line.size() : close + 1;
        parts.Program = line.substr(1, (close == std::string::npos ? line.size() : close) - 1);
    } else {
        end = std::min(line.find(' '), line.size());
        parts.Program = line.substr(0, end);
    }
    parts.Parameters = TrimBlanks(line.substr(end));
    return parts;
}

TProcessStart StartProgramWith(const TStartSteps& steps, const std::string& command_line, int show_command)
{
    const TProcessStart direct = steps.Create(command_line, show_command);
    if (direct.Process != 0 || direct.Error != kErrorElevationRequired || !steps.ShellOpen) return direct;
    // The program's manifest asks for elevation: the shell asks the user.
    const TCommandLineParts parts = SplitCommandLine(command_line);
    return steps.ShellOpen(parts.Program, parts.Parameters, show_command);
}
