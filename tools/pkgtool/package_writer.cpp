#include "pkgtool/package_writer.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <deque>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>

#include "net/sha256.h"
#include "pkgtool/compress_pool.h"
#include "package/pack_file.h"
#include "package/token.h"
#include "package/unpack.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxVolumes = 999;
constexpr uint8_t kTrailerFormat = 1;
constexpr int kMaxJobs = 256;

std::string UpperAscii(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool HasAny(const std::string& s, const std::string& chars)
{
    return s.find_first_of(chars) != std::string::npos;
}

bool HasNul(const std::string& s)
{
    return s.find('\0') != std::string::npos;
}

// A stored name must stay inside the target folder of the extraction.
std::string CheckStoredName(const std::string& name)
{
    if (name.empty()) return "empty stored file name";
    if (HasNul(name) || HasAny(name, "|*"))
        return "stored file name \"" + name + "\" contains '|', '*' or NUL";
    if (name[0] == '\\' || name[0] == '/' || (name.size() > 1 && name[1] == ':'))
        return "stored file name \"" + name + "\" is not relative";
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("\\/", start);
        if (end == std::string::npos) end = name.size();
        const std::string part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return "stored file name \"" + name + "\" has an empty, \".\" or \"..\" part";
        start = end + 1;
    }
    if (!IsSafeEntryName(name)) return "stored file name \"" + name + "\" would be refused by the extraction";
    return "";
}

std::string Validate(const TPackOptions& o)
{
    if (o.BlockCount != 0 && o.BlockCount != 2 && o.BlockCount != 3) return "block count must be 2 or 3";
    if (o.RecordLimit == 0 || o.RecordLimit > kMaxRecordLimit)
        return "record limit must be between 1 and " + std::to_string(kMaxRecordLimit) + " bytes";
    if (o.Image.size() >= std::numeric_limits<uint32_t>::max()) return "launcher image is too large";
    if (o.Level < 0 || o.Level > 9) return "compression level must be between 0 and 9";
    if (o.Jobs < 1 || o.Jobs > kMaxJobs) return "jobs must be between 1 and " + std::to_string(kMaxJobs);
    for (const TPackLanguage& l : o.Languages) {
        if (l.Name.empty() || HasAny(l.Name, std::string("\x01\x02\0", 3)))
            return "language name \"" + l.Name + "\" is empty or holds a control byte 0, 1 or 2";
        for (const auto& [key, value] : l.Strings) {
            if (key.empty() || HasAny(key, std::string("=\x01\x02\0", 4)))
                return "language key \"" + key + "\" is empty or holds '=' or a control byte";
            if (HasAny(value, std::string("\x01\x02\0", 3)))
                return "value of language key \"" + key + "\" holds a control byte 0, 1 or 2";
        }
    }
    const std::string agentItems[] = {o.Agent.Url, o.Agent.InfoFile, o.Agent.Exe, o.Agent.Token};
    for (const std::string& item : agentItems)
        if (HasAny(item, std::string("|\0", 2))) return "agent item \"" + item + "\" contains '|' or NUL";
    if (o.Web) {
        const std::string webItems[] = {o.Web->Url, o.Web->File, o.Web->Token};
        for (const std::string& item : webItems)
            if (HasAny(item, std::string("|\0", 2))) return "web item \"" + item + "\" contains '|' or NUL";
    }
    int marked = 0;
    for (const TPackEntry& f : o.Files) {
        const std::string nameError = CheckStoredName(f.Name);
        if (!nameError.empty()) return nameError;
        if (HasAny(f.Arguments, std::string("|\0", 2)))
            return "arguments of \"" + f.Name + "\" contain '|' or NUL";
        // The launcher starts the marked program by its trimmed name.
        if (f.Marked && MainEntryProgram(f.Name + "*") != f.Name)
            return "marked file name \"" + f.Name + "\" starts or ends with a blank";
        if (f.Marked) ++marked;
    }
    if (marked > 1) return "more than one file is marked with '*'";
    return "";
}

bool BrokenDownTime(int64_t t, bool utc, std::tm& out)
{
    const std::time_t tt = static_cast<std::time_t>(t);
#ifdef _WIN32
    return (utc ? gmtime_s(&out, &tt) : localtime_s(&out, &tt)) == 0;
#else
    return (utc ? gmtime_r(&tt, &out) : localtime_r(&tt, &out)) != nullptr;
#endif
}

// Record forms: the i32 length, then the zlib stream ("" when zlib fails)
// or the entry itself (negative length).
std::string CompressedRecord(const std::string& entry, int level)
{
    uLongf packedSize = compressBound(static_cast<uLong>(entry.size()));
    std::string record(4 + packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(record.data() + 4), &packedSize,
                  reinterpret_cast<const Bytef*>(entry.data()), static_cast<uLong>(entry.size()),
                  level) != Z_OK)
        return "";
    record.resize(4 + packedSize);
    PutU32LE(reinterpret_cast<unsigned char*>(record.data()), static_cast<uint32_t>(packedSize));
    return record;
}

std::string StoredRecord(const std::string& entry)
{
    std::string record(4, '\0');
    PutU32LE(reinterpret_cast<unsigned char*>(record.data()),
             static_cast<uint32_t>(-static_cast<int64_t>(entry.size())));
    return record + entry;
}

// One volume file under construction.
struct TVolume {
    std::string FinalName;
    std::string TempName;
    std::FILE* File = nullptr;
    uint64_t Written = 0;
    uint32_t DataStart = 0;
};

class TWriter {
public:
    TWriter(const TPackOptions& options, const std::string& fileName) : o_(options), fileName_(fileName) {}
    ~TWriter() { Abandon(); }

    bool Run(std::string& error, std::vector<std::string>* volumes);

private:
    bool Fail(const std::string& message)
    {
        if (error_.empty()) error_ = message;
        return false;
    }
    bool Put(const std::string& bytes);
    bool StartVolume();
    bool FinishVolume(bool more);
    // Hands the entry to the compressing pool; writes what is done in order.
    bool QueueRecord(std::string entry, uint64_t dataSize);
    bool WriteOldest();
    bool AddRecord(const std::string& entry, const std::string& encoded);
    bool AddFile(const TPackEntry& entry, uint64_t size, uint32_t timeStamp);
    // The record time stamp of a file without one of its own.
    uint32_t StampOfFile(const std::string& path) const;
    void Abandon();

    const TPackOptions& o_;
    std::string fileName_;
    std::string error_;
    std::vector<TVolume> volumes_;
    TPackTrailer base_;
    bool volumeHasRecords_ = false;
    std::unique_ptr<TCompressPool> pool_;
    std::deque<uint64_t> dataSizes_;  // of the queued records, in order
    TBuildProgress progress_;
};

bool TWriter::Put(const std::string& bytes)
{
    TVolume& v = volumes_.back();
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), v.File) != bytes.size())
        return Fail("cannot write " + v.TempName);
    v.Written += bytes.size();
    return true;
}

bool TWriter::StartVolume()
{
    const int number = static_cast<int>(volumes_.size()) + 1;
    if (number > kMaxVolumes) {
        // Appended piecewise: a literal + temporary + literal draws a false -Wrestrict from GCC 12.
        std::string message = "more than ";
        message += std::to_string(kMaxVolumes);
        message += " volumes";
        return Fail(message);
    }
    TVolume v;
    v.FinalName = VolumeFileName(fileName_, number);
    v.TempName = v.FinalName + ".tmp";
    v.File = std::fopen(v.TempName.c_str(), "w+b");
    if (!v.File) return Fail("cannot create " + v.TempName);
    volumes_.push_back(v);
    volumeHasRecords_ = false;
    return true;
}

bool TWriter::FinishVolume(bool more)
{
    TVolume& v = volumes_.back();
    TPackTrailer t = base_;
    t.DataStart = v.DataStart;
    if (more) t.PackFlags |= kFlagHasMoreVolumes;
    const uint64_t finalSize = v.Written + kPackTrailerSize;
    const bool small = finalSize <= static_cast<uint64_t>(kChecksumSizeLimit);
    t.PackChecksum = small ? 0 : kNoPackChecksum;
    const auto bytes = EncodeTrailer(t);
    if (!Put(std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()))) return false;

    // The package end goes into the DOS header of a PE launcher image.
    if (volumes_.size() == 1 && IsPeImageData(o_.Image)) {
        unsigned char end[8];
        PutU32LE(end, static_cast<uint32_t>(finalSize >> 32));
        PutU32LE(end + 4, static_cast<uint32_t>(finalSize));
        if (std::fseek(v.File, static_cast<long>(kStoredPackEndHighOffset), SEEK_SET) != 0 ||
            std::fwrite(end, 1, 8, v.File) != 8)
            return Fail("cannot write " + v.TempName);
    }
    if (small) {
        std::string data(static_cast<size_t>(finalSize), '\0');
        if (std::fflush(v.File) != 0 || std::fseek(v.File, 0, SEEK_SET) != 0 ||
            std::fread(data.data(), 1, data.size(), v.File) != data.size())
            return Fail("cannot read back " + v.TempName);
        unsigned char sum[4];
        PutU32LE(sum, PackChecksumOfData(data, kPackTrailerSize));
        if (std::fseek(v.File, static_cast<long>(finalSize - kPackTrailerSize + 16), SEEK_SET) != 0 ||
            std::fwrite(sum, 1, 4, v.File) != 4)
            return Fail("cannot write " + v.TempName);
    }
    const int closed = std::fclose(v.File);
    v.File = nullptr;
    if (closed != 0) return Fail("cannot write " + v.TempName);
    return true;
}

bool TWriter::QueueRecord(std::string entry, uint64_t dataSize)
{
    while (pool_->Full())
        if (!WriteOldest()) return false;
    pool_->Queue(std::move(entry));
    dataSizes_.push_back(dataSize);
    return true;
}

bool TWriter::WriteOldest()
{
    const std::shared_ptr<TCompressPool::TJob> job = pool_->TakeOldest();
    if (!AddRecord(job->Entry, job->Record)) return false;
    ++progress_.Records;
    progress_.Bytes += dataSizes_.front();
    dataSizes_.pop_front();
    if (o_.Progress) o_.Progress(progress_);
    return true;
}

bool TWriter::AddRecord(const std::string& entry, const std::string& encoded)
{
    std::string record = encoded;
    if (o_.VolumeSize > 0) {
        const uint64_t need = record.size() + kPackTrailerSize;
        if (volumes_.back().Written + need > o_.VolumeSize && (volumeHasRecords_ || volumes_.size() == 1)) {
            if (!FinishVolume(true) || !StartVolume()) return false;
        }
        if (volumes_.back().Written + need > o_.VolumeSize)
            return Fail("a record of " + std::to_string(record.size()) +
                        " bytes does not fit in a volume of " + std::to_string(o_.VolumeSize) +
                        " bytes (lower the record limit)");
    }
    // A later volume starts with its first record; were that to read as "MZ"
    // with "PE" at 256, readers would take its StoredPackEnd from the data.
    if (volumes_.size() > 1 && !volumeHasRecords_ && IsPeImageData(record)) {
        const bool stored = (static_cast<unsigned char>(record[3]) & 0x80) != 0;
        record = stored ? CompressedRecord(entry, o_.Level) : StoredRecord(entry);
        if (record.empty() || IsPeImageData(record))
            return Fail("a record cannot be stored at the start of a volume; change the volume size");
    }
    volumeHasRecords_ = true;
    return Put(record);
}

bool TWriter::AddFile(const TPackEntry& entry, uint64_t size, uint32_t timeStamp)
{
    const std::string header = RecordHeader(entry, timeStamp) + std::string(1, '\0');
    if (entry.Content) {
        uint64_t offset = 0;
        do {
            const uint64_t n = std::min<uint64_t>(o_.RecordLimit, size - offset);
            // In memory, so offset and n fit in size_t (32 bits on i686).
            if (!QueueRecord(
                    header + entry.Content->substr(static_cast<size_t>(offset), static_cast<size_t>(n)), n))
                return false;
            offset += n;
        } while (offset < size);
        return true;
    }
    std::FILE* in = std::fopen(entry.Source.c_str(), "rb");
    if (!in) return Fail("cannot open " + entry.Source);
    bool ok = true;
    uint64_t offset = 0;
    std::string chunk;
    do {
        const uint64_t n = std::min<uint64_t>(o_.RecordLimit, size - offset);
        chunk.assign(static_cast<size_t>(n), '\0');
        if (n > 0 && std::fread(chunk.data(), 1, chunk.size(), in) != chunk.size()) {
            ok = Fail(entry.Source + " changed or could not be read while building");
            break;
        }
        if (!QueueRecord(header + chunk, n)) {
            ok = false;
            break;
        }
        offset += n;
    } while (offset < size);
    if (ok && std::fgetc(in) != EOF) ok = Fail(entry.Source + " changed while building");
    std::fclose(in);
    return ok;
}

uint32_t TWriter::StampOfFile(const std::string& path) const
{
    const std::optional<int64_t> t = FileModificationTime(path);
    if (!t) return 0;
    if (!o_.SourceDateEpoch) return DosDateTimeOf(*t);
    // A checkout gives every file the time it was made; in UTC, so that the
    // machine's time zone does not show either.
    return DosDateTimeOf(std::min(*t, *o_.SourceDateEpoch), true);
}

void TWriter::Abandon()
{
    for (TVolume& v : volumes_) {
        if (v.File) std::fclose(v.File);
        v.File = nullptr;
        std::remove(v.TempName.c_str());
    }
    volumes_.clear();
}

bool TWriter::Run(std::string& error, std::vector<std::string>* written)
{
    error_ = Validate(o_);
    if (!error_.empty()) {
        error = error_;
        return false;
    }
    const uint32_t seed = ScrambleSeed(o_);

    std::string webSha256;
    if (o_.Web && !o_.Web->Sha256File.empty()) {
        const std::string& path = o_.Web->Sha256File;
        const THashResult hashed = Sha256OfFile(path, webSha256);
        if (hashed != THashResult::Ok) {
            error = hashed == THashResult::Unreadable ? "cannot read " + path + " for its SHA-256"
                                                      : "no SHA-256 available to hash " + path;
            return false;
        }
    }

    // Sizes and time stamps first: the trailer of every volume carries the
    // record count and the space table of the whole package.
    std::vector<uint64_t> sizes;
    std::vector<uint32_t> times;
    std::map<std::string, uint64_t> byName;
    uint64_t records = 0;
    for (const TPackEntry& f : o_.Files) {
        uint64_t size = 0;
        uint32_t time = f.TimeStamp.value_or(0);
        if (f.Content) {
            size = f.Content->size();
        } else {
            std::error_code ec;
            if (!fs::is_regular_file(f.Source, ec)) {
                error = "no such file: " + f.Source;
                return false;
            }
            size = fs::file_size(f.Source, ec);
            if (ec) {
                error = "cannot read the size of " + f.Source;
                return false;
            }
            if (!f.TimeStamp) time = StampOfFile(f.Source);
        }
        sizes.push_back(size);
        times.push_back(time);
        byName[UpperAscii(f.Name)] += size;
        records += std::max<uint64_t>(1, (size + o_.RecordLimit - 1) / o_.RecordLimit);
    }
    if (records > std::numeric_limits<uint32_t>::max()) {
        error = "too many file records";
        return false;
    }
    std::vector<uint64_t> fileSizes;
    for (const auto& [name, size] : byName) fileSizes.push_back(size);

    const int blockCount = o_.BlockCount != 0 ? o_.BlockCount : (o_.Web ? 3 : 2);
    base_.FormatByte = kTrailerFormat;
    base_.BlockCount = static_cast<uint8_t>(blockCount);
    base_.FileCount = static_cast<uint32_t>(records);
    base_.PackMagic = kPackMagic;
    const auto space = ComputeSpaceTable(fileSizes);
    std::copy(space.begin(), space.end(), base_.SpaceTable);
    base_.PackFlags = static_cast<uint8_t>(o_.PackFlags & ~kFlagHasMoreVolumes & 0x1F);
    base_.WebInstall = o_.WebInstall ? 1 : 0;
    base_.ConfirmDownload = o_.ConfirmDownload ? 1 : 0;
    base_.CreateAgent = o_.CreateAgent ? 1 : 0;
    base_.IsAutoUpdateProg = o_.IsAutoUpdateProg ? 1 : 0;
    base_.TrailerSize = kPackTrailerSize;

    std::string blocks;
    for (const std::string& b : {BuildLanguageBlock(o_.Languages), BuildAgentBlock(o_.Agent, seed)}) {
        unsigned char n[4];
        PutU32LE(n, static_cast<uint32_t>(b.size()));
        blocks.append(reinterpret_cast<const char*>(n), 4);
        blocks += b;
    }
    if (blockCount == 3) {
        const std::string b = BuildWebBlock(o_.Web.value_or(TPackWeb()), seed + 1, webSha256);
        unsigned char n[4];
        PutU32LE(n, static_cast<uint32_t>(b.size()));
        blocks.append(reinterpret_cast<const char*>(n), 4);
        blocks += b;
    }

    if (o_.VolumeSize > 0 && o_.Image.size() + blocks.size() + kPackTrailerSize > o_.VolumeSize) {
        error = "the volume size is smaller than the launcher image and text blocks";
        return false;
    }
    bool ok = StartVolume();
    if (ok) {
        volumes_.back().DataStart = static_cast<uint32_t>(o_.Image.size());
        ok = Put(o_.Image) && Put(blocks);
    }
    pool_ = std::make_unique<TCompressPool>(o_.Jobs, o_.Level);
    progress_ = {0, records, 0, 0};
    for (uint64_t size : sizes) progress_.TotalBytes += size;
    for (size_t i = 0; ok && i < o_.Files.size(); ++i) ok = AddFile(o_.Files[i], sizes[i], times[i]);
    while (ok && pool_->Pending() > 0) ok = WriteOldest();
    pool_.reset();
    ok = ok && FinishVolume(false);

    // Later volumes first: the first one, which is what users start, only
    // appears under its name when the others are in place.
    for (size_t i = volumes_.size(); ok && i-- > 0;) {
        std::error_code ec;
        fs::rename(volumes_[i].TempName, volumes_[i].FinalName, ec);
        if (ec) {
            fs::remove(volumes_[i].FinalName, ec);
            fs::rename(volumes_[i].TempName, volumes_[i].FinalName, ec);
        }
        if (ec) ok = Fail("cannot rename " + volumes_[i].TempName + " to " + volumes_[i].FinalName);
    }
    if (!ok) {
        error = error_;
        Abandon();
        return false;
    }
    if (written) {
        written->clear();
        for (const TVolume& v : volumes_) written->push_back(v.FinalName);
    }
    volumes_.clear();
    return true;
}

}  // namespace

std::string BuildLanguageBlock(const std::vector<TPackLanguage>& languages)
{
    if (languages.empty()) return "";
    std::string block(1, kLanguageBlockDelimiter);
    for (const TPackLanguage& l : languages) {
        block += kLanguageEntryDelimiter;
        block += l.Name;
        block += kLanguageEntryDelimiter;
        for (const auto& [key, value] : l.Strings) {
            block += key + "=" + value;
            block += kLanguageEntryDelimiter;
        }
        block += kLanguageBlockDelimiter;
    }
    return block;
}

std::string BuildAgentBlock(const TPackAgent& agent, uint32_t seed)
{
    return "|" + agent.Url + "|" + agent.InfoFile + "|" + agent.Exe + "|" + ScrambleToken(agent.Token, seed) +
           "|" + (agent.Silent ? "1" : "0") + "|" + (agent.Signers.empty() ? "" : agent.Signers + "|");
}

std::string BuildWebBlock(const TPackWeb& web, uint32_t seed, const std::string& sha256)
{
    return "|" + web.Url + "|" + web.File + "|" + (web.Always ? "1" : "0") + "|" +
           ScrambleToken(web.Token, seed) + "|" + std::to_string(web.Size) + "|" +
           (sha256.empty() ? "" : sha256 + "|");
}

std::string RecordHeader(const TPackEntry& entry, uint32_t timeStamp)
{
    std::string name = entry.Name;
    if (entry.Marked) name += "*" + entry.Arguments;
    return "|" + name + "|" + std::to_string(timeStamp) + "|";
}

std::string EncodeRecord(const std::string& entry, int level)
{
    if (entry.empty()) return std::string(4, '\0');
    std::string packed = CompressedRecord(entry, level);
    return !packed.empty() && packed.size() < entry.size() + 4 ? packed : StoredRecord(entry);
}

uint32_t DosDateTimeOf(int64_t unixTime, bool utc)
{
    std::tm tm{};
    if (!BrokenDownTime(unixTime, utc, tm) || tm.tm_year < 80)
        return (1u << 5 | 1u) << 16;  // 1980-01-01 00:00
    const uint32_t date =
        static_cast<uint32_t>(((tm.tm_year - 80) << 9) | ((tm.tm_mon + 1) << 5) | tm.tm_mday);
    const uint32_t time = static_cast<uint32_t>((tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
    return (date << 16) | time;
}

std::optional<int64_t> FileModificationTime(const std::string& path)
{
#ifdef _WIN32
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) return std::nullopt;
#else
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
#endif
    return static_cast<int64_t>(st.st_mtime);
}

std::optional<uint32_t> FileDosDateTime(const std::string& path)
{
    const std::optional<int64_t> t = FileModificationTime(path);
    if (!t) return std::nullopt;
    return DosDateTimeOf(*t);
}

uint32_t ScrambleSeed(const TPackOptions& options)
{
    if (options.Seed) return *options.Seed;
    if (options.SourceDateEpoch)
        return static_cast<uint32_t>(static_cast<uint64_t>(*options.SourceDateEpoch));
    return static_cast<uint32_t>(std::chrono::high_resolution_clock::now().time_since_epoch().count());
}

std::array<uint32_t, kSpaceTableSize> ComputeSpaceTable(const std::vector<uint64_t>& fileSizes)
{
    std::array<uint32_t, kSpaceTableSize> table{};
    for (int k = 0; k < kSpaceTableSize; ++k) {
        const uint64_t cluster = k == 0 ? 1 : (256ull << k);
        uint64_t total = 0;
        for (uint64_t size : fileSizes) total += (size + cluster - 1) / cluster * cluster;
        table[static_cast<size_t>(k)] =
            static_cast<uint32_t>(std::min<uint64_t>(total, std::numeric_limits<uint32_t>::max()));
    }
    return table;
}

std::string StubImage()
{
    std::string image(512, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    // e_lfanew points at the signature, as in a real image.
    image[0x3C] = static_cast<char>(kPeSignatureOffset & 0xFF);
    image[0x3D] = static_cast<char>(kPeSignatureOffset >> 8);
    image[kPeSignatureOffset] = 'P';
    image[kPeSignatureOffset + 1] = 'E';
    return image;
}

bool WritePackage(const TPackOptions& options, const std::string& fileName, std::string& error,
                  std::vector<std::string>* volumes)
{
    TWriter writer(options, fileName);
    return writer.Run(error, volumes);
}
