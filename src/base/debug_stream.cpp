#include "base/debug_stream.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <utility>

namespace {

struct TDebugState {
    TDebugSink Sink;
    bool Installed = false;
    int Mode = 0;
    std::string FilePath = kDebugFilePath;
};

TDebugState& State()
{
    static TDebugState* state = new TDebugState;  // outlives every static user of the stream
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
    static TDebugStreamBuf* device = new TDebugStreamBuf;  // lives until exit
    return *device;
}

// Text still buffered at exit is handed on, as a flushed stream would.
struct TExitFlush {
    ~TExitFlush() { FlushDebugStream(); }
} g_exitFlush;

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

void TDebugStreamBuf::Write(const char* s, size_t n)
{
    TDebugLockGuard lock;
    for (size_t done = 0; done < n;) {
        const size_t take = std::min(kDebugBufferSize - used_, n - done);
        std::copy(s + done, s + done + take, buffer_ + used_);
        used_ += take;
        done += take;
        if (used_ == kDebugBufferSize) HandOnLocked();
    }
}

void TDebugStreamBuf::Sync()
{
    TDebugLockGuard lock;
    HandOnLocked();
}

void TDebugStreamBuf::HandOnLocked()
{
    if (used_ == 0) return;
    // Empty the buffer before handing on, so neither an error nor a sink that
    // writes to the stream itself can leave text behind or hand it on twice.
    const std::string chunk(buffer_, std::min(used_, kDebugChunkLimit));
    used_ = 0;
    try {
        const TDebugState& state = State();
        if (state.Sink)
            state.Sink(chunk);
        else if (state.Installed)
            HandOnDebugChunk(chunk);
        else
            std::fwrite(chunk.data(), 1, chunk.size(), stdout);
    } catch (...) {
        // Diagnostics never disturb the program.
    }
}

TDebugOut& TDebugOut::operator<<(std::string_view text)
{
    Device().Write(text.data(), text.size());
    return *this;
}

void TDebugOut::Flush()
{
    Device().Sync();
}

TDebugOut& DebugOut()
{
    static TDebugOut out;
    return out;
}

TDebugOut& DebugEndl(TDebugOut& out)
{
    out << '\n';
    out.Flush();
    return out;
}

void InstallDebugStream()
{
    TDebugLockGuard lock;
    State().Installed = true;
}

void FlushDebugStream()
{
    Device().Sync();
}

void SetDebugSink(TDebugSink sink)
{
    TDebugLockGuard lock;
    State().Sink = std::move(sink);
}

TDebugCapture::TDebugCapture()
{
    TDebugLockGuard lock;
    FlushDebugStream();
    before_ = std::move(State().Sink);
    State().Sink = [this](const std::string& chunk) { text_ += chunk; };
}

TDebugCapture::~TDebugCapture()
{
    TDebugLockGuard lock;
    FlushDebugStream();
    State().Sink = std::move(before_);
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
    DebugOut() << " --- " << where << (extra.empty() ? "" : " --- " + extra) << " --- " << e.what()
               << DebugEndl;
}
