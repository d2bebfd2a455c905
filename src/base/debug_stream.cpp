#include "base/debug_stream.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <utility>

namespace {

struct TDebugState {
    TDebugSink Sink;
    int Mode = 0;
    std::string FilePath = kDebugFilePath;
};

TDebugState& State()
{
    static TDebugState* state = new TDebugState;  // outlives every static user of std::cout
    return *state;
}

class TDebugLockGuard {
public:
    TDebugLockGuard() { LockDebugStream(); }
    ~TDebugLockGuard() { UnlockDebugStream(); }
    TDebugLockGuard(const TDebugLockGuard&) = delete;
    TDebugLockGuard& operator=(const TDebugLockGuard&) = delete;
};

TDebugStreamBuf& Device()
{
    static TDebugStreamBuf* device = new TDebugStreamBuf;  // flushed by std::cout at exit
    return *device;
}

}  // namespace

#ifndef _WIN32
namespace {
std::recursive_mutex& DebugMutex()
{
    static std::recursive_mutex* mutex = new std::recursive_mutex;
    return *mutex;
}
}  // namespace

void LockDebugStream()
{
    DebugMutex().lock();
}
void UnlockDebugStream()
{
    DebugMutex().unlock();
}
void SendToDebugViewer(const std::string&) {}

bool DebugAppendToFile(const std::string& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}
#endif

// ---- the device -------------------------------------------------------------

TDebugStreamBuf::int_type TDebugStreamBuf::overflow(int_type ch)
{
    if (traits_type::eq_int_type(ch, traits_type::eof())) return traits_type::not_eof(ch);
    const char c = traits_type::to_char_type(ch);
    xsputn(&c, 1);
    return ch;
}

std::streamsize TDebugStreamBuf::xsputn(const char* s, std::streamsize n)
{
    TDebugLockGuard lock;
    for (std::streamsize done = 0; done < n;) {
        const size_t take = std::min(kDebugBufferSize - used_, static_cast<size_t>(n - done));
        std::copy(s + done, s + done + take, buffer_ + used_);
        used_ += take;
        done += static_cast<std::streamsize>(take);
        if (used_ == kDebugBufferSize) HandOnLocked();
    }
    return n;
}

int TDebugStreamBuf::sync()
{
    TDebugLockGuard lock;
    HandOnLocked();
    return 0;
}

void TDebugStreamBuf::HandOnLocked()
{
    if (used_ == 0) return;
    // Empty the buffer before handing on, so neither an error nor a sink that
    // writes to the stream itself can leave text behind or hand it on twice.
    const std::string chunk(buffer_, std::min(used_, kDebugChunkLimit));
    used_ = 0;
    try {
        const TDebugSink& sink = State().Sink;
        if (sink)
            sink(chunk);
        else
            HandOnDebugChunk(chunk);
    } catch (...) {
        // Diagnostics never disturb the program.
    }
}

void InstallDebugStream()
{
    TDebugLockGuard lock;
    if (std::cout.rdbuf() != &Device()) std::cout.rdbuf(&Device());
}

void FlushDebugStream()
{
    Device().pubsync();
}

void SetDebugSink(TDebugSink sink)
{
    TDebugLockGuard lock;
    State().Sink = std::move(sink);
}

// ---- default hand-on --------------------------------------------------------

void HandOnDebugChunk(const std::string& chunk)
{
    const int mode = State().Mode;
    if (mode == 1 || mode == 2) DebugAppendToFile(State().FilePath, NormalizeLineEnds(chunk));
    if (mode == 0 || mode == 2) SendToDebugViewer(chunk);
}

int DebugMode()
{
    return State().Mode;
}
void SetDebugMode(int mode)
{
    State().Mode = mode;
}
void SetDebugFilePath(const std::string& path)
{
    State().FilePath = path;
}
std::string DebugFilePath()
{
    return State().FilePath;
}

std::string NormalizeLineEnds(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (text[i] == '\n') {
            out += "\r\n";
        } else {
            out += text[i];
        }
    }
    return out;
}

void ReportException(const std::exception& e, const std::string& where, const std::string& extra)
{
    std::cout << " --- " << where << (extra.empty() ? "" : " --- " + extra) << " --- " << e.what()
              << std::endl;
}
