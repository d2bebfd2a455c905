// The package behind the launcher image: byte layout and the reader.
//
// Layout of a package file (integers little-endian):
//   launcher image   offset 0 .. DataStart ("MZ" at 0, "PE" at 256)
//   text blocks      BlockCount times: u32 length, bytes
//                    (language block, agent block, web block when 3)
//   file records     i32 L, then |L| bytes: L > 0 zlib stream, L < 0 stored,
//                    L = 0 empty; an entry is "|name|dosdatetime|", NUL, data
//   trailer          74 bytes ending at the package end
// The package end is StoredPackEnd (DOS header offsets 248 high, 252 low) of
// a PE image when it is above 0, else the end of the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "package/lang_keys.h"

class TPackFile;

inline constexpr uint32_t kPackMagic = 0x4A3B2C1D;
inline constexpr uint32_t kPackTrailerSize = 74;
// Checksum value that stands for "not checked"; packages above
// kChecksumSizeLimit bytes always carry it.
inline constexpr uint32_t kNoPackChecksum = 1234;
inline constexpr int64_t kChecksumSizeLimit = 51200;
inline constexpr int kSpaceTableSize = 9;
// DOS header offsets of StoredPackEnd and of the PE signature.
inline constexpr size_t kStoredPackEndHighOffset = 248;
inline constexpr size_t kStoredPackEndLowOffset = 252;
inline constexpr size_t kPeSignatureOffset = 256;
// Text blocks are small; a longer length only comes from a damaged file.
inline constexpr uint32_t kMaxTextBlockSize = 64u << 20;

// PackFlags bits.
inline constexpr uint8_t kFlagShowExtractNotice = 0x01;
inline constexpr uint8_t kFlagHasMoreVolumes = 0x02;
inline constexpr uint8_t kFlagSpanCdRelaunch = 0x04;
inline constexpr uint8_t kFlagShowActivityBar = 0x08;
inline constexpr uint8_t kFlagTraceLogEnabled = 0x10;

// Delimiters of the language block (entries) and of one language entry.
inline constexpr char kLanguageBlockDelimiter = '\x02';
inline constexpr char kLanguageEntryDelimiter = '\x01';

// Agent block items.
enum : int {
    kAgentUrl = 0,
    kAgentInfoFile = 1,
    kAgentExe = 2,
    kAgentToken = 3,
    kAgentSilent = 4,
    // Optional: SHA-256 thumbprints (hex, comma-separated) of the certificates
    // whose Authenticode signature an update must carry; readers before it
    // see five items.
    kAgentSigners = 5
};
// Web block items (the sixth, the SHA-256, is optional).
enum : int {
    kWebUrl = 0,
    kWebFile = 1,
    kWebAlways = 2,
    kWebToken = 3,
    kWebSize = 4,
    kWebSha256 = 5  // optional; readers before it see five items
};

#pragma pack(push, 1)
struct TPackTrailer {
    uint8_t FormatByte = 0;
    uint8_t BlockCount = 0;
    uint8_t Padding[2] = {0, 0};
    uint32_t DataStart = 0;
    uint32_t FileCount = 0;
    uint32_t PackMagic = 0;
    uint32_t PackChecksum = 0;
    uint8_t Reserved[8] = {};
    uint32_t SpaceTable[kSpaceTableSize] = {};
    uint8_t Reserved2 = 0;
    uint8_t PackFlags = 0;
    uint8_t WebInstall = 0;
    uint8_t ConfirmDownload = 0;
    uint8_t CreateAgent = 0;
    uint8_t IsAutoUpdateProg = 0;
    uint32_t TrailerSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(TPackTrailer) == kPackTrailerSize, "the trailer is 74 bytes on disk");

// The 74 bytes of a trailer as stored.
std::array<unsigned char, kPackTrailerSize> EncodeTrailer(const TPackTrailer& trailer);
// A trailer from up to 74 stored bytes; missing bytes leave fields zero.
TPackTrailer DecodeTrailer(const unsigned char* bytes, size_t count);

// "MZ" at offset 0 and "PE" at offset 256.
bool IsPeImage(TPackFile& file);
bool IsPeImageData(const std::string& image);

// StoredPackEnd from offsets 248 (high word) and 252 (low word); 0 when the
// data is too short.
uint64_t ReadStoredPackEnd(TPackFile& file);
uint64_t ReadStoredPackEnd(const std::string& image);

// Reads the trailer ending at the package end: its own size from the last u32,
// at most 74 bytes of it (a shorter trailer leaves later fields zero);
// TrailerSize becomes the size read, BlockCount 0 becomes 2. False when no
// trailer bytes could be read (the trailer is then zero but for those two
// rules).
bool ReadTrailer(TPackFile& file, TPackTrailer& trailer);
bool ReadTrailer(const std::string& fileName, TPackTrailer& trailer);

// Sum check of a small package (see PackChecksumOfData); kNoPackChecksum for
// files above kChecksumSizeLimit bytes, 0 when the file cannot be opened.
uint32_t PackChecksumOf(const std::string& fileName, uint32_t trailerSize);
// The same over a package held in memory (what the builder stores).
uint32_t PackChecksumOfData(const std::string& data, uint32_t trailerSize);

// Cluster size in bytes of the drive whose root is `root` ("C:\"); 0 when
// unknown. Windows asks the system; elsewhere it is 0.
using TClusterSizeQuery = uint32_t (*)(const std::string& root);
void SetClusterSizeQuery(TClusterSizeQuery query);  // nullptr: the system's
uint32_t QueryClusterSize(const std::string& root);

// Bytes the extracted files need on a drive with the given cluster size.
double SpaceNeededForCluster(const TPackTrailer& trailer, uint32_t clusterSize);

class TGFileInfo {
public:
    TGFileInfo() = default;
    // Reads trailer and text blocks; a missing file or foreign data gives an
    // empty reader.
    explicit TGFileInfo(const std::string& fileName);

    const TPackTrailer& Trailer() const { return trailer_; }
    bool HasPackage() const { return trailer_.PackMagic == kPackMagic; }
    const std::string& LanguageBlock() const { return languageBlock_; }
    const std::string& AgentBlock() const { return agentBlock_; }
    const std::string& WebBlock() const { return webBlock_; }

    // Language lookups in the process-wide chosen language entry.
    std::string GetLangString(const std::string& key, const std::string& def) const;
    std::string GetLangString(const TLangKey& key) const { return GetLangString(key.Key, key.Default); }
    int GetLangCharset() const;
    int GetLangFontSize() const;
    std::string GetLangFontName() const;

    // Bytes the extracted files need on the drive of `path`.
    double GetSpaceNeeded(const std::string& path) const;

    bool IsAutoUpdateProg() const { return trailer_.IsAutoUpdateProg != 0; }
    bool WebInstall() const { return trailer_.WebInstall != 0; }
    bool ConfirmDownload() const { return trailer_.ConfirmDownload != 0; }
    bool CreateAgent() const { return trailer_.CreateAgent != 0; }
    bool ShowExtractNotice() const { return (trailer_.PackFlags & kFlagShowExtractNotice) != 0; }
    bool HasMoreVolumes() const { return (trailer_.PackFlags & kFlagHasMoreVolumes) != 0; }
    bool SpanCdRelaunch() const { return (trailer_.PackFlags & kFlagSpanCdRelaunch) != 0; }
    bool ShowActivityBar() const { return (trailer_.PackFlags & kFlagShowActivityBar) != 0; }
    bool TraceLogEnabled() const { return (trailer_.PackFlags & kFlagTraceLogEnabled) != 0; }

    std::string GetUpdateUrl() const;
    std::string GetInfoFileName() const;
    std::string GetOriginalFileName() const;
    std::string GetAgentExeName() const;
    std::string GetAgentToken(bool unscramble) const;
    bool IsSilent() const;
    // The thumbprints an update or a fetched package must be signed with
    // (lower-case hex, comma-separated); "" when any token-checked file will do.
    std::string GetAgentSigners() const;
    // Web block item `index` (0 location, 1 setup file, 4 size).
    std::string GetWebItem(int index) const;
    bool IsWebAlwaysDownload() const;
    std::string GetWebToken(bool unscramble) const;
    // SHA-256 of the setup package the web installer downloads, as lower-case
    // hexadecimal digits; "" when the web block carries none.
    std::string GetWebSha256() const;

private:
    TPackTrailer trailer_;
    std::string languageBlock_;
    std::string agentBlock_;
    std::string webBlock_;
};
