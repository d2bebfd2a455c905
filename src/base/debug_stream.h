// The debug stream: standard output handed, chunk by chunk, to a debug viewer
// window (class ".VDebug.", registered message ".V_DebugMsg.", text passed in a
// global atom) and/or appended to a debug file.
//
// All code writes diagnostic lines with  std::cout << ... << std::endl;
// InstallDebugStream() routes std::cout through the device once at start-up.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <streambuf>
#include <string>

constexpr size_t kDebugBufferSize = 128;    // a chunk is handed on when this is full
constexpr size_t kDebugChunkLimit = 10241;  // most characters taken from one buffer
constexpr const char* kDebugViewerClass = ".VDebug.";
constexpr const char* kDebugViewerMessage = ".V_DebugMsg.";
constexpr const char* kDebugFilePath = "C:\\ProgramData\\_vdebug.txt";

// Receives every chunk handed on by the device.
using TDebugSink = std::function<void(const std::string& chunk)>;

// Buffers written text and hands it on when the buffer is full and on every
// flush (std::endl). Thread-safe: the buffer and the hand-on are guarded by
// one process-wide lock.
class TDebugStreamBuf : public std::streambuf {
public:
    TDebugStreamBuf() = default;

protected:
    int_type overflow(int_type ch) override;
    std::streamsize xsputn(const char* s, std::streamsize n) override;
    int sync() override;

private:
    void HandOnLocked();  // caller holds the lock
    char buffer_[kDebugBufferSize] = {};
    size_t used_ = 0;
};

// Routes std::cout through the process-wide device (idempotent).
void InstallDebugStream();
// Hands any buffered text on now.
void FlushDebugStream();

// Replaces the hand-on target; an empty sink restores the default
// (HandOnDebugChunk). Lets tests capture chunks.
void SetDebugSink(TDebugSink sink);

// Default hand-on by debug mode: 0 viewer only, 1 debug file only, 2 both,
// anything else drops the chunk. Failures are swallowed.
void HandOnDebugChunk(const std::string& chunk);
int DebugMode();
void SetDebugMode(int mode);
// Debug file used by modes 1 and 2 (kDebugFilePath unless changed).
void SetDebugFilePath(const std::string& path);
std::string DebugFilePath();

// "\r\n", "\r" and "\n" all become "\r\n".
std::string NormalizeLineEnds(const std::string& text);

// Writes " --- <where>[ --- <extra>] --- <message>" to the debug stream.
void ReportException(const std::exception& e, const std::string& where, const std::string& extra = "");

// ---- platform part (debug_stream_win.cpp on Windows) ------------------------

// The process-wide lock around the buffer and the hand-on.
void LockDebugStream();
void UnlockDebugStream();
// Sends the chunk to a running viewer window; does nothing when none runs.
void SendToDebugViewer(const std::string& chunk);
// Appends bytes to a file opened with read/write sharing; false on failure.
bool DebugAppendToFile(const std::string& path, const std::string& bytes);
