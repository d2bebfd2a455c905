#include "net/transfer_rate.h"

#include "base/pump.h"
#include "base/text_utils.h"

std::string FormatScaledAmount(uint64_t value, uint32_t unit)
{
    const double scaled = value == 0 || unit == 0 ? 0.0 : static_cast<double>(value) / unit;
    return InsertThousandsSeparators(FormatDecimal(scaled, 1));
}

uint32_t TickCount32()
{
    return static_cast<uint32_t>(MilliSecondsNow());
}

TBytesRate::TBytesRate(bool kilobytes, bool megabytes, TTickSource ticks)
    : ticks_(std::move(ticks)), kilobytes_(kilobytes), megabytes_(megabytes)
{}

std::string TBytesRate::Rate(uint32_t chunkBytes)
{
    const uint32_t now = ticks_();
    for (int i = 0; i + 1 < kSamples; ++i) {
        tickWindow_[i] = tickWindow_[i + 1];
        byteWindow_[i] = byteWindow_[i + 1];
    }
    tickWindow_[kSamples - 1] = now;
    byteWindow_[kSamples - 1] = chunkBytes;
    if (samples_ < kSamples) ++samples_;

    // Unsigned differences: the counter wraps after 49.7 days.
    const uint32_t span = now - tickWindow_[0];
    uint64_t sum = 0;
    for (int i = 1; i < kSamples; ++i) sum += byteWindow_[i];  // the oldest only opens the span

    // A sample count, not a zero tick, tells a full window: a counter that
    // has wrapped can read 0.
    if (samples_ == kSamples && span != 0 && (!computed_ || now - lastUpdate_ > kUpdateMs)) {
        computed_ = true;
        lastUpdate_ = now;
        const double rate = static_cast<double>(sum) / (span / 1000.0) / 1024.0;
        rate_ = FormatDecimal(rate, 2);
    }
    return rate_;
}

std::string TBytesRate::FormatProgress(uint64_t total, uint64_t done, uint32_t chunkBytes)
{
    std::string amounts;
    if (megabytes_) {
        amounts = FormatScaledAmount(done, kMegaByte) + "/" + FormatScaledAmount(total, kMegaByte) + " MB";
    } else if (kilobytes_) {
        amounts = FormatScaledAmount(done, kKiloByte) + "/" + FormatScaledAmount(total, kKiloByte) + " KB";
    } else {
        amounts = std::to_string(done) + "/" + std::to_string(total) + " BytesArr";
    }
    const std::string rate = Rate(chunkBytes);
    if (rate.empty()) return amounts;
    return amounts + "   -   " + rate + " KB/Sec";
}

TBytesRate RateMeterFor(uint64_t announcedLength, TTickSource ticks)
{
    return TBytesRate(announcedLength > kKiloByteDisplayAbove, announcedLength > kMegaByteDisplayAbove,
                      std::move(ticks));
}
