// Writes packages in the layout that TGFileInfo and the extraction read:
// launcher image, text blocks, file records, trailer; optionally split into
// span volumes. Used by pkgtool and by tests.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "package/package_reader.h"
#include "package/package_walker.h"  // VolumeFileName

inline constexpr uint64_t kDefaultRecordLimit = 16u << 20;
// Records are i32-sized; keep well below that.
inline constexpr uint64_t kMaxRecordLimit = 1u << 30;

struct TPackLanguage {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Strings;
};

struct TPackAgent {
    std::string Url = "http:/";
    std::string InfoFile = ".info";
    std::string Exe = ".exe";
    std::string Token;  // plain; scrambled when written
    bool Silent = false;
    // SHA-256 thumbprints (hex, comma-separated) of the certificates an
    // update must be signed with; "" keeps the five items.
    std::string Signers{};
};

struct TPackWeb {
    std::string Url;
    std::string File;
    bool Always = false;
    std::string Token;  // plain; scrambled when written
    uint64_t Size = 0;
    // Setup package whose SHA-256 the writer adds as a sixth item, so that the
    // launcher refuses a different download; "" keeps the five items. (The
    // initialiser keeps five-field aggregate initialisations warning-free.)
    std::string Sha256File{};
};

struct TPackEntry {
    std::string Source;                  // file to read, unless Content is set
    std::optional<std::string> Content;  // bytes given directly
    std::string Name;                    // stored name
    bool Marked = false;                 // the program run after extraction
    std::string Arguments;               // its extra command-line text
    std::optional<uint32_t> TimeStamp;   // DOS date-time; default: file time
};

// A key of a project section that the builder only carries along, with its
// line for error messages.
struct TProjectValue {
    std::string Key;
    std::string Value;
    int Line = 0;
};

struct TPackOptions {
    std::string Image;  // bytes of the launcher image
    std::vector<TPackLanguage> Languages;
    TPackAgent Agent;
    std::optional<TPackWeb> Web;
    std::vector<TPackEntry> Files;
    uint8_t PackFlags = 0;  // HasMoreVolumes is set by the writer
    bool WebInstall = false;
    bool ConfirmDownload = false;
    bool CreateAgent = false;
    bool IsAutoUpdateProg = false;
    int BlockCount = 0;       // 2 or 3; 0: 3 when there is a web block
    uint64_t VolumeSize = 0;  // 0: one file
    uint64_t RecordLimit = kDefaultRecordLimit;
    std::optional<uint32_t> Seed;  // token scrambling; default from the clock
    // SOURCE_DATE_EPOCH (seconds since 1970) of a reproducible build: it
    // seeds the token scrambling when Seed is not given, and file times
    // after it are clamped to it and written in UTC.
    std::optional<int64_t> SourceDateEpoch;
    int Level = 9;  // zlib compression level 0..9
    // Threads that compress records (1: none besides the caller's). The
    // package is the same whatever the number.
    int Jobs = 1;
    // The [Release] section as written (pkgtool release reads it).
    std::optional<std::vector<TProjectValue>> Release;
    // Called after each record is written.
    std::function<void(const struct TBuildProgress&)> Progress;
};

struct TBuildProgress {
    uint64_t Records = 0;
    uint64_t TotalRecords = 0;
    uint64_t Bytes = 0;  // file data in the records written
    uint64_t TotalBytes = 0;
};

// The text blocks as stored.
std::string BuildLanguageBlock(const std::vector<TPackLanguage>& languages);
std::string BuildAgentBlock(const TPackAgent& agent, uint32_t seed);
// `sha256`, the digest of web.Sha256File, becomes a sixth item when not empty.
std::string BuildWebBlock(const TPackWeb& web, uint32_t seed, const std::string& sha256 = "");

// Header of a record entry: "|name|time|" with the name carrying "*" and the
// arguments when marked.
std::string RecordHeader(const TPackEntry& entry, uint32_t timeStamp);
// One record: the i32 length and the zlib stream of the entry, or the entry
// stored (negative length) when compressing does not make it smaller.
std::string EncodeRecord(const std::string& entry, int level = 9);

// DOS date-time (date in the high word) of a time as local time (or UTC);
// 1980-01-01 for anything earlier.
uint32_t DosDateTimeOf(int64_t unixTime, bool utc = false);
// Modification time of a file in seconds since 1970; nullopt when it has none.
std::optional<int64_t> FileModificationTime(const std::string& path);
// The same as DOS date-time (local time).
std::optional<uint32_t> FileDosDateTime(const std::string& path);
// The seed of the token scrambling: Seed, else SOURCE_DATE_EPOCH, else the
// clock.
uint32_t ScrambleSeed(const TPackOptions& options);

// Bytes that files of the given sizes occupy, by cluster size (entry 0:
// plain sum; 1..8: clusters of 512 .. 65536 bytes), saturated at 2^32 - 1.
std::array<uint32_t, kSpaceTableSize> ComputeSpaceTable(const std::vector<uint64_t>& fileSizes);

// A 512-byte stand-in for the launcher image: "MZ" at 0, "PE" at 256. Not a
// runnable program; lets tests build packages without the launcher.
std::string StubImage();

// Writes the package to `fileName` (and its further volumes). All volumes
// are written under temporary names first and renamed when complete. On
// failure returns false with a one-line `error`, and leaves no file behind.
bool WritePackage(const TPackOptions& options, const std::string& fileName, std::string& error,
                  std::vector<std::string>* volumes = nullptr);
