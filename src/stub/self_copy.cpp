#include "stub/self_copy.h"

#include "base/lists.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "stub/dispatch.h"

#include <algorithm>

std::string XCopyPath(const std::string& programPath)
{
    return FolderPart(programPath) + XAgentPrefix + FileNamePart(programPath);
}

std::string XCopyArguments(const std::string& transient, const std::string& delay)
{
    std::string args;
    if (!transient.empty()) args += " /TRANSIENTx=" + transient;
    if (!delay.empty()) args += " /SleepX=" + delay;
    return args;
}

std::string XCopyCommandLine(const std::string& xCopyPath, const std::string& arguments)
{
    return QuoteProgramPath(xCopyPath) + arguments;
}

std::string YCopyPath(const std::string& tempFolder, const std::string& programPath)
{
    return StripTrailingBackslash(tempFolder) + "\\" + kYCopyPrefix + FileNamePart(programPath);
}

std::string YCopyCommandLine(const std::string& yCopyPath, const std::string& argsText,
                             const std::string& programPath)
{
    const std::string args = TrimBlanks(argsText) + " /SpanCdLvl=2 /SpanDiskFName1=\"" + programPath +
                             ".001\" /OriginExe=\"" + programPath + "\"";
    return QuoteProgramPath(yCopyPath) + " " + TrimBlanks(args);
}

std::string WmMsgList(const std::string& value)
{
    return ":" + value + ":";
}

TControllerTarget ParseWmMsg(const std::string& value)
{
    const std::string list = WmMsgList(value);
    return {ListItemInt64(list, 0, 0), ListItemInt64(list, 1, 0)};
}

std::string DeleteScriptName(uint32_t processId)
{
    return kDeleteScriptPrefix + std::to_string(processId) + ".BAT";
}

std::string DeleteScriptText(const TDeleteScript& s)
{
    const std::string q = s.Quote ? "\"" : "";
    const std::string program = q + s.Program + q;
    // A try counter both shells understand (COMMAND.COM has no arithmetic):
    // one more "x" per try.
    const std::string counter = "VELDEL";
    std::string text;
    auto line = [&text](const std::string& l) { text += l + "\r\n"; };
    line("@ECHO OFF");
    line("SET " + counter + "=");
    line(":START");
    line("ATTRIB -R " + program);  // a copy from a CD keeps the read-only flag
    line("DEL " + program);
    line("IF NOT exist " + program + " GOTO DONE");
    line("SET " + counter + "=%" + counter + "%x");
    line("IF \"%" + counter + "%\"==\"" + std::string(std::max(s.Tries, 1), 'x') + "\" GOTO DONE");
    line("PING -n 2 127.0.0.1 >NUL");  // about a second; there is no SLEEP on old systems
    line("GOTO START");
    line(":DONE");
    line("SET " + counter + "=");
    if (s.RemoveFolder) line("RD " + q + s.Folder + q);
    line("DEL " + q + s.ScriptPath + q);
    return text;
}
