#include "package/package_walker.h"

#include <algorithm>
#include <memory>
#include <cstring>
#include <limits>
#include <vector>

#include "base/lists.h"
#include "base/text_utils.h"
#include "package/zlib_open.h"

namespace {

// Text blocks past the third carry nothing the launcher reads.
constexpr int kKeptTextBlocks = 3;

}  // namespace

std::string VolumeFileName(const std::string& firstVolume, int number)
{
    if (number <= 1) return firstVolume;
    std::string base = firstVolume;
    if (EndsWith(".001", base, true)) base.resize(base.size() - 4);
    return base + "." + ZeroPad(number, 3);
}

int64_t PackageEndOf(TPackFile& file)
{
    int64_t end = file.Size();
    if (IsPeImage(file)) {
        const uint64_t stored = ReadStoredPackEnd(file);
        if (stored > 0)
            end = static_cast<int64_t>(std::min<uint64_t>(stored, std::numeric_limits<int64_t>::max()));
    }
    return end;
}

bool TPackVolume::Open(const std::string& fileName)
{
    trailerComplete_ = false;
    packageEnd_ = trailerStart_ = next_ = 0;
    walking_ = false;
    problem_.clear();
    const bool opened = file_.Open(fileName);
    // A file that cannot be opened reads as an empty one.
    trailerComplete_ = ReadTrailer(file_, trailer_);
    if (!opened) return false;
    packageEnd_ = PackageEndOf(file_);
    uint32_t size = 0;
    if (packageEnd_ >= 4 && file_.Seek(packageEnd_ - 4)) file_.ReadU32(size);
    trailerStart_ = packageEnd_ >= static_cast<int64_t>(size) ? packageEnd_ - size : 0;
    return true;
}

TPackTextBlocks TPackVolume::ReadTextBlocks()
{
    TPackTextBlocks blocks;
    const int64_t start = trailer_.DataStart;
    blocks.End = start;
    // Blocks outside the package are none of its own.
    if (!IsOpen() || start > trailerStart_) return blocks;
    std::string* kept[kKeptTextBlocks] = {&blocks.Language, &blocks.Agent, &blocks.Web};
    const int count = trailer_.BlockCount == 0 ? 2 : trailer_.BlockCount;
    bool intact = true;
    int64_t position = start;
    for (int i = 0; i < count; ++i) {
        uint32_t length = 0;
        file_.Seek(position);
        if (!file_.ReadU32(length)) intact = false;
        // A length beyond the file reads short; the next block starts where
        // this one ends in the file.
        const int64_t left = std::max<int64_t>(file_.Size() - file_.Position(), 0);
        const uint64_t inFile = std::min<uint64_t>(length, static_cast<uint64_t>(left));
        if (i < kKeptTextBlocks) *kept[i] = file_.ReadBytes(std::min<uint64_t>(inFile, kMaxTextBlockSize));
        if (position + 4 + static_cast<int64_t>(length) > trailerStart_) intact = false;
        position = std::min<int64_t>(position + 4 + static_cast<int64_t>(inFile), file_.Size());
    }
    blocks.End = position;
    blocks.Intact = intact;
    return blocks;
}

bool TPackVolume::StartRecords(int64_t position)
{
    walking_ = IsOpen() && position >= 0 && position <= trailerStart_;
    next_ = position;
    problem_ = walking_ ? ""
                        : "DataStart " + std::to_string(position) + " lies beyond the trailer start " +
                              std::to_string(trailerStart_);
    return walking_;
}

TPackVolume::TStep TPackVolume::NextRecord(TPackRecord& record)
{
    record = TPackRecord();
    if (!walking_) return kEnd;
    if (packageEnd_ - next_ <= kRecordsEndMargin || next_ >= trailerStart_) {
        walking_ = false;
        return kEnd;
    }
    walking_ = false;  // until the record proves sound
    record.Offset = next_;
    uint32_t length = 0;
    if (trailerStart_ - next_ < 4 || !file_.Seek(next_) || !file_.ReadU32(length)) {
        problem_ = "record length at " + std::to_string(next_) + " runs into the trailer";
        return kDamaged;
    }
    record.Length = static_cast<int32_t>(length);
    if (static_cast<int64_t>(record.BodySize()) > trailerStart_ - record.BodyStart()) {
        problem_ = "record at " + std::to_string(next_) + " of length " + std::to_string(record.Length) +
                   " runs into the trailer";
        return kDamaged;
    }
    next_ = record.BodyStart() + static_cast<int64_t>(record.BodySize());
    walking_ = true;
    return kRecord;
}

uint64_t TPackVolume::ReadBody(const TPackRecord& record,
                               const std::function<void(const char* data, std::size_t count)>& consume,
                               const std::function<void()>& pump)
{
    const uint64_t count = record.BodySize();
    if (!file_.Seek(record.BodyStart())) return 0;
    // Not zero-filled: every byte used is read first.
    const std::unique_ptr<char[]> buffer(
        new char[static_cast<std::size_t>(std::min<uint64_t>(count, kRecordChunk))]);
    uint64_t total = 0;
    while (total < count) {
        const std::size_t want = static_cast<std::size_t>(std::min<uint64_t>(count - total, kRecordChunk));
        const std::size_t got = file_.Read(buffer.get(), want);
        if (got > 0) consume(buffer.get(), got);
        total += got;
        if (pump) pump();
        if (got != want) break;
    }
    return total;
}

void TPackEntryReader::Feed(const char* data, std::size_t count)
{
    if (state_ == sHeader) {
        const char* nul = static_cast<const char*>(std::memchr(data, '\0', count));
        const std::size_t take = nul ? static_cast<std::size_t>(nul - data) : count;
        if (header_.size() + take > kMaxEntryHeader) {
            state_ = sNoHeader;
            header_.clear();
            return;
        }
        header_.append(data, take);
        if (!nul) return;
        state_ = sData;
        if (onHeader_) onHeader_(header_);
        data += take + 1;
        count -= take + 1;
    }
    if (state_ != sData || count == 0) return;
    dataSize_ += count;
    if (onData_) onData_(data, count);
}

TEntryReadResult ReadRecordEntry(TPackVolume& volume, const TPackRecord& record,
                                 const std::function<void(const char* data, std::size_t count)>& output,
                                 const std::function<void()>& pump, uint64_t limit)
{
    TEntryReadResult result;
    if (!record.Compressed()) {
        uint64_t out = 0;
        result.BodyRead = volume.ReadBody(
            record,
            [&](const char* d, std::size_t n) {
                if (out > limit) return;
                out += n;
                output(d, n);
            },
            pump);
        if (result.BodyRead != record.BodySize())
            result.Status = TEntryReadResult::kShortBody;
        else if (out > limit)
            result.Status = TEntryReadResult::kOverLimit;
        return result;
    }
    try {
        TInflater inflater;
        uint64_t out = 0;
        auto counted = [&](const char* d, std::size_t n) {
            out += n;
            output(d, n);
        };
        result.BodyRead = volume.ReadBody(
            record,
            [&](const char* d, std::size_t n) {
                if (out <= limit) inflater.Feed(d, n, counted);
            },
            pump);
        if (result.BodyRead != record.BodySize()) {
            result.Status = TEntryReadResult::kShortBody;
        } else if (out > limit) {
            result.Status = TEntryReadResult::kOverLimit;
        } else if (!inflater.Finished()) {
            result.Status = TEntryReadResult::kStreamCut;
            result.Message = "unexpected end of stream";
        }
    } catch (const EZLibError& e) {
        result.Status = TEntryReadResult::kBadStream;
        result.Message = e.what();
    }
    return result;
}

TPackEntryHeader ParseEntryHeader(const std::string& header)
{
    TPackEntryHeader h;
    h.NameItem = ListItem(header, 0);
    h.StampText = ListItem(header, 1);
    const int64_t stamp = DecimalOr(h.StampText, 0);
    h.Stamp = stamp > 0 && stamp <= 0xFFFFFFFFll ? static_cast<uint32_t>(stamp) : 0;
    const std::size_t star = h.NameItem.find('*');
    h.FileName = h.NameItem.substr(0, star);
    if (star != std::string::npos)
        h.MainEntry = h.NameItem;
    else if (header.find('*') != std::string::npos)
        h.MainEntry = header;
    return h;
}
