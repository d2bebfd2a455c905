// The trace log: a time-stamped line file beside the program ("X_<name>.log"),
// written only by an update agent whose package enables it. The plain agent
// and its X_ copy write the same file, one line per open/append/close.
#pragma once

#include <cstdint>
#include <string>

// Appends "<stamp> <thread id, right-aligned in 5><indent><message>\r\n" when
// enabled; does nothing otherwise. Write failures are ignored.
void Trace(const std::string& message = "");
void SetTraceIndent(const std::string& indent);  // "   " until changed
std::string TraceIndent();
void SetTraceEnabled(bool enabled);  // off until enabled
bool TraceEnabled();

// The log path for a program path: its folder, "\", "X_" (not doubled when the
// file name already starts with it, case-sensitive), the file name with its
// extension replaced by ".log".
std::string TraceLogPathFor(const std::string& program_path);
// The path in use: computed from the program's path on first use, or set.
std::string TraceLogPath();
void SetTraceLogPath(const std::string& path);

// The formatted line without writing it.
std::string FormatTraceLine(const std::string& stamp, uint32_t thread_id, const std::string& indent,
                            const std::string& message);

// ---- platform part (trace_log_win.cpp on Windows) ---------------------------

uint32_t TraceThreadId();
