#include "base/trace_log.h"

#include <optional>

#include "base/debug_stream.h"
#include "base/paths.h"
#include "base/text_utils.h"

namespace {

struct TTraceState {
    bool Enabled = false;
    std::string Indent = "   ";
    std::optional<std::string> Path;
};

TTraceState& State()
{
    static TTraceState* state = new TTraceState;
    return *state;
}

}  // namespace

#ifndef _WIN32
#include <unistd.h>
#include <sys/syscall.h>

uint32_t TraceThreadId()
{
    return static_cast<uint32_t>(syscall(SYS_gettid));
}
#endif

void SetTraceIndent(const std::string& indent)
{
    State().Indent = indent;
}
std::string TraceIndent()
{
    return State().Indent;
}
void SetTraceEnabled(bool enabled)
{
    State().Enabled = enabled;
}
bool TraceEnabled()
{
    return State().Enabled;
}

std::string TraceLogPathFor(const std::string& program_path)
{
    std::string name = FileNameWithoutExt(program_path, false);
    if (name.compare(0, 2, "X_") != 0) name = "X_" + name;
    return FolderPart(program_path) + name + ".log";
}

std::string TraceLogPath()
{
    TTraceState& state = State();
    if (!state.Path) state.Path = TraceLogPathFor(ProgramPath());
    return *state.Path;
}

void SetTraceLogPath(const std::string& path)
{
    State().Path = path;
}

std::string FormatTraceLine(const std::string& stamp, uint32_t thread_id, const std::string& indent,
                            const std::string& message)
{
    return stamp + " " + PadLeft(std::to_string(thread_id), 5) + indent + message + "\r\n";
}

void Trace(const std::string& message)
{
    if (!State().Enabled) return;
    DebugAppendToFile(TraceLogPath(),
                      FormatTraceLine(LogTimeStamp(false), TraceThreadId(), State().Indent, message));
}
