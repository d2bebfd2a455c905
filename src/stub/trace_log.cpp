#include "stub/trace_log.h"

#include <optional>

#include "stub/debug_stream.h"
#include "ui/text_utils.h"

namespace {

struct TTraceState {
  bool enabled = false;
  std::string indent = "   ";
  std::optional<std::string> path;
};

TTraceState& State() {
  static TTraceState* state = new TTraceState;
  return *state;
}

}  // namespace

#ifndef _WIN32
#include <unistd.h>
#include <sys/syscall.h>

#include <climits>

std::string TraceProgramPath() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

uint32_t TraceThreadId() { return static_cast<uint32_t>(syscall(SYS_gettid)); }
#endif

void SetTraceIndent(const std::string& indent) { State().indent = indent; }
std::string TraceIndent() { return State().indent; }
void SetTraceEnabled(bool enabled) { State().enabled = enabled; }
bool TraceEnabled() { return State().enabled; }

std::string TraceLogPathFor(const std::string& program_path) {
  const size_t slash = program_path.find_last_of("\\/");
  const std::string folder = slash == std::string::npos ? "" : program_path.substr(0, slash);
  std::string name = slash == std::string::npos ? program_path : program_path.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  if (name.compare(0, 2, "X_") != 0) name = "X_" + name;
  if (slash == std::string::npos) return name + ".log";
  return folder + program_path[slash] + name + ".log";
}

std::string TraceLogPath() {
  TTraceState& state = State();
  if (!state.path) state.path = TraceLogPathFor(TraceProgramPath());
  return *state.path;
}

void SetTraceLogPath(const std::string& path) { State().path = path; }

std::string FormatTraceLine(const std::string& stamp, uint32_t thread_id,
                            const std::string& indent, const std::string& message) {
  return stamp + " " + PadLeft(std::to_string(thread_id), 5) + indent + message + "\r\n";
}

void Trace(const std::string& message) {
  if (!State().enabled) return;
  DebugAppendToFile(TraceLogPath(),
                    FormatTraceLine(LogTimeStamp(false), TraceThreadId(), State().indent, message));
}
