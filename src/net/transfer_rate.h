// The transfer-rate meter of a download: turns the running byte counts into
// the text passed with every progress step (amounts done and total in a unit
// that fits the file size, then the speed once enough samples exist).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

constexpr uint32_t kKiloByte = 1024;
constexpr uint32_t kMegaByte = 1048576;
// Lengths above these show amounts in KB and MB.
constexpr uint64_t kKiloByteDisplayAbove = 102400;
constexpr uint64_t kMegaByteDisplayAbove = 10485760;

// value / unit with one decimal, "." as the point and "," between groups of
// three digits left of it: 1,536,000 bytes in KB give "1,500.0", 0 gives "0.0".
std::string FormatScaledAmount(uint64_t value, uint32_t unit);

// Milliseconds of a 32-bit counter that wraps (as GetTickCount does after
// 49.7 days); differences are taken modulo 2^32.
using TTickSource = std::function<uint32_t()>;
uint32_t TickCount32();

class TBytesRate {
public:
    static constexpr int kSamples = 5;
    static constexpr uint32_t kUpdateMs = 500;

    // Megabyte display takes precedence over kilobyte display.
    TBytesRate(bool kilobytes, bool megabytes, TTickSource ticks = TickCount32);

    // "100/500 BytesArr", "1.0/200.0 KB" or "0.5/4,096.0 MB", done first;
    // followed by "   -   <rate> KB/Sec" once Rate has a text.
    std::string FormatProgress(uint64_t total, uint64_t done, uint32_t chunkBytes);

    // Takes a sample of the newest chunk. Once five samples exist and they span
    // some time, the speed over the four newest chunks is computed, at most
    // once per 500 ms, as "12.34" (KB per second). "" until then; unchanged
    // between updates.
    std::string Rate(uint32_t chunkBytes);

private:
    TTickSource ticks_;
    bool kilobytes_;
    bool megabytes_;
    uint32_t tickWindow_[kSamples] = {};
    uint32_t byteWindow_[kSamples] = {};
    int samples_ = 0;
    bool computed_ = false;
    uint32_t lastUpdate_ = 0;
    std::string rate_;
};

// The meter a download of the announced length uses.
TBytesRate RateMeterFor(uint64_t announcedLength, TTickSource ticks = TickCount32);
