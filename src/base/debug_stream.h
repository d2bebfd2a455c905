// The debug stream: diagnostic lines handed, chunk by chunk, to a debug viewer
// window (class ".VDebug.", registered message ".V_DebugMsg.", text passed in a
// global atom) and/or appended to a debug file.
//
// All code writes diagnostic lines with  DebugOut() << ... << DebugEndl;
// InstallDebugStream() makes the launcher's device the target once at
// start-up; before that (pkgtool, native tests) the lines go to standard
// output. The stream is deliberately not an iostream: the launcher carries
// no iostream or locale code.
#pragma once

#include <charconv>
#include <concepts>
#include <cstddef>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

constexpr size_t kDebugBufferSize = 128;    // a chunk is handed on when this is full
constexpr size_t kDebugChunkLimit = 10241;  // most characters taken from one buffer
constexpr const char* kDebugViewerClass = ".VDebug.";
constexpr const char* kDebugViewerMessage = ".V_DebugMsg.";
constexpr const char* kDebugFilePath = "C:\\ProgramData\\_vdebug.txt";

// Receives every chunk handed on by the device.
using TDebugSink = std::function<void(const std::string& chunk)>;

// Buffers written text and hands it on when the buffer is full and on every
// flush (DebugEndl). Thread-safe: the buffer and the hand-on are guarded by
// one process-wide lock.
class TDebugStreamBuf {
public:
    void Write(const char* s, size_t n);
    void Sync();

private:
    void HandOnLocked();  // caller holds the lock
    char buffer_[kDebugBufferSize] = {};
    size_t used_ = 0;
};

// The writing end: strings, characters and integers (decimal; a bool as 1 or
// 0), chained like an output stream.
class TDebugOut {
public:
    TDebugOut& operator<<(std::string_view text);
    TDebugOut& operator<<(const char* text) { return *this << std::string_view(text ? text : ""); }
    TDebugOut& operator<<(const std::string& text) { return *this << std::string_view(text); }
    TDebugOut& operator<<(char c) { return *this << std::string_view(&c, 1); }
    template <std::integral T> TDebugOut& operator<<(T value)
    {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, value + 0).ptr;
        return *this << std::string_view(digits, static_cast<size_t>(end - digits));
    }
    TDebugOut& operator<<(TDebugOut& (*manipulator)(TDebugOut&)) { return manipulator(*this); }
    // Hands any buffered text on now.
    void Flush();
};

// The process-wide stream.
TDebugOut& DebugOut();
// Ends a line and hands the buffer on, as DebugEndl did.
TDebugOut& DebugEndl(TDebugOut& out);

// Makes the device hand its chunks to the viewer and file (HandOnDebugChunk)
// rather than to standard output (idempotent).
void InstallDebugStream();
// Hands any buffered text on now.
void FlushDebugStream();

// Replaces the hand-on target; an empty sink restores the default. Lets
// tests capture chunks.
void SetDebugSink(TDebugSink sink);

// Everything written to the debug stream while it lives (flushed at both
// ends); the sink before it is put back afterwards.
class TDebugCapture {
public:
    TDebugCapture();
    ~TDebugCapture();
    TDebugCapture(const TDebugCapture&) = delete;
    TDebugCapture& operator=(const TDebugCapture&) = delete;
    std::string Text() const { return text_; }

private:
    std::string text_;
    TDebugSink before_;
};

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
