#pragma once
// Running a console program as a child with its standard streams on pipes.

#include <cstdint>
#include <string>

// Receives every chunk read from the child; setting abort ends the child (exit code 255).
using TPipeOutputCallback = void (*)(void* userValue, const std::string& chunk, bool& abort);

// Exit code reported when the child could not be started at all.
inline constexpr unsigned long kExecStartFailedCode = 21;
// Largest number of bytes taken from a pipe in one read.
inline constexpr unsigned long kPipeChunkSize = 30000;

// Program, quoted when it holds a blank and no quote, then " " + arguments when there are any.
std::string BuildCommandLine(const std::string& program, const std::string& arguments);

// Runs program with arguments, collects standard output and standard error until the
// child has ended and both pipes are drained. errorText starts with the failure text when
// the start fails (exitCode is then 21). True when the child ran and exited with 0.
bool RunWithPipes(const std::string& program, const std::string& arguments, int show,
                  TPipeOutputCallback callback, void* userValue, unsigned long settleMs,
                  std::string& errorText, std::string& outputText, unsigned long& exitCode);

// Reads what is waiting in pipe (a HANDLE), OEM text converted to ANSI, appends it to text
// and hands it to callback. True when more bytes were waiting than one chunk could take.
bool ReadPipeChunk(void* pipe, std::string& text, bool& abort, TPipeOutputCallback callback, void* userValue);

// Write end of the running child's standard input (a HANDLE), null when no child runs.
void* ChildStdInWriteHandle();
