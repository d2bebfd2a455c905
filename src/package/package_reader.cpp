#include "package/package_reader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "base/lists.h"
#include "base/paths.h"
#include "base/text_utils.h"
#include "package/lang_select.h"
#include "package/pack_file.h"
#include "package/package_walker.h"
#include "package/token.h"

namespace {

// A language value as an int; `def` when it is not a number or does not fit.
int LangInt(const std::string& text, int def)
{
    const int64_t v = DecimalOr(text, def);
    return v < INT32_MIN || v > INT32_MAX ? def : static_cast<int>(v);
}

// Bytes of the checksum blocks and the value added per block.
constexpr size_t kChecksumBlock = 4096;
// The header that holds StoredPackEnd is left out of the checksum.
constexpr int64_t kChecksumHeaderSkip = 512;

TClusterSizeQuery g_clusterSizeQuery = nullptr;

}  // namespace

#ifndef _WIN32
uint32_t SystemClusterSize(const std::string&)
{
    return 0;
}
#else
uint32_t SystemClusterSize(const std::string& root);  // package_reader_win.cpp
#endif

std::array<unsigned char, kPackTrailerSize> EncodeTrailer(const TPackTrailer& t)
{
    std::array<unsigned char, kPackTrailerSize> b{};
    b[0] = t.FormatByte;
    b[1] = t.BlockCount;
    b[2] = t.Padding[0];
    b[3] = t.Padding[1];
    PutU32LE(&b[4], t.DataStart);
    PutU32LE(&b[8], t.FileCount);
    PutU32LE(&b[12], t.PackMagic);
    PutU32LE(&b[16], t.PackChecksum);
    std::memcpy(&b[20], t.Reserved, sizeof t.Reserved);
    for (int k = 0; k < kSpaceTableSize; ++k) PutU32LE(&b[28 + 4 * k], t.SpaceTable[k]);
    b[64] = t.Reserved2;
    b[65] = t.PackFlags;
    b[66] = t.WebInstall;
    b[67] = t.ConfirmDownload;
    b[68] = t.CreateAgent;
    b[69] = t.IsAutoUpdateProg;
    PutU32LE(&b[70], t.TrailerSize);
    return b;
}

TPackTrailer DecodeTrailer(const unsigned char* bytes, size_t count)
{
    std::array<unsigned char, kPackTrailerSize> b{};
    std::memcpy(b.data(), bytes, std::min<size_t>(count, b.size()));
    TPackTrailer t;
    t.FormatByte = b[0];
    t.BlockCount = b[1];
    t.Padding[0] = b[2];
    t.Padding[1] = b[3];
    t.DataStart = GetU32LE(&b[4]);
    t.FileCount = GetU32LE(&b[8]);
    t.PackMagic = GetU32LE(&b[12]);
    t.PackChecksum = GetU32LE(&b[16]);
    std::memcpy(t.Reserved, &b[20], sizeof t.Reserved);
    for (int k = 0; k < kSpaceTableSize; ++k) t.SpaceTable[k] = GetU32LE(&b[28 + 4 * k]);
    t.Reserved2 = b[64];
    t.PackFlags = b[65];
    t.WebInstall = b[66];
    t.ConfirmDownload = b[67];
    t.CreateAgent = b[68];
    t.IsAutoUpdateProg = b[69];
    t.TrailerSize = GetU32LE(&b[70]);
    return t;
}

bool IsPeImageData(const std::string& image)
{
    return image.size() >= kPeSignatureOffset + 2 && image[0] == 'M' && image[1] == 'Z' &&
           image[kPeSignatureOffset] == 'P' && image[kPeSignatureOffset + 1] == 'E';
}

bool IsPeImage(TPackFile& file)
{
    char mz[2] = {0, 0};
    char pe[2] = {0, 0};
    if (!file.Seek(0) || file.Read(mz, 2) != 2) return false;
    if (!file.Seek(kPeSignatureOffset) || file.Read(pe, 2) != 2) return false;
    return mz[0] == 'M' && mz[1] == 'Z' && pe[0] == 'P' && pe[1] == 'E';
}

uint64_t ReadStoredPackEnd(const std::string& image)
{
    if (image.size() < kStoredPackEndLowOffset + 4) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(image.data());
    return (static_cast<uint64_t>(GetU32LE(p + kStoredPackEndHighOffset)) << 32) |
           GetU32LE(p + kStoredPackEndLowOffset);
}

uint64_t ReadStoredPackEnd(TPackFile& file)
{
    uint32_t high = 0, low = 0;
    if (!file.Seek(kStoredPackEndHighOffset) || !file.ReadU32(high) || !file.ReadU32(low)) return 0;
    return (static_cast<uint64_t>(high) << 32) | low;
}

bool ReadTrailer(TPackFile& file, TPackTrailer& trailer)
{
    trailer = TPackTrailer();
    bool complete = false;
    if (file.IsOpen()) {
        const int64_t end = PackageEndOf(file);
        uint32_t size = 0;
        if (end >= 4 && file.Seek(end - 4)) file.ReadU32(size);
        const uint32_t n = std::min(size, kPackTrailerSize);
        if (n > 4 && end >= static_cast<int64_t>(size) && file.Seek(end - size)) {
            unsigned char bytes[kPackTrailerSize - 4] = {};
            const size_t got = file.Read(bytes, n - 4);
            trailer = DecodeTrailer(bytes, got);
            complete = got == n - 4;
        }
        trailer.TrailerSize = n;
    }
    if (trailer.BlockCount == 0) trailer.BlockCount = 2;
    return complete;
}

bool ReadTrailer(const std::string& fileName, TPackTrailer& trailer)
{
    TPackFile file(fileName);
    return ReadTrailer(file, trailer);
}

uint32_t PackChecksumOfData(const std::string& data, uint32_t trailerSize)
{
    int64_t size = static_cast<int64_t>(data.size());
    if (size > kChecksumSizeLimit) return kNoPackChecksum;
    const uint32_t storedEnd = IsPeImageData(data) ? static_cast<uint32_t>(ReadStoredPackEnd(data)) : 0;
    if (storedEnd > 0) size = storedEnd;
    int64_t remaining = size - static_cast<int64_t>(trailerSize);
    size_t position = 0;
    if (storedEnd > 0) {
        remaining -= kChecksumHeaderSkip;
        position = static_cast<size_t>(kChecksumHeaderSkip);
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    uint32_t sum = 0;
    for (;;) {
        const size_t got = position < data.size() ? std::min(kChecksumBlock, data.size() - position) : 0;
        for (size_t i = 0; i + 4 <= got; i += 4) {
            remaining -= 4;
            if (remaining > 4) sum += GetU32LE(bytes + position + i);
        }
        if (remaining > 4) sum += kNoPackChecksum;
        position += got;
        if (got != kChecksumBlock) break;
    }
    return sum;
}

uint32_t PackChecksumOf(const std::string& fileName, uint32_t trailerSize)
{
    TPackFile file(fileName);
    if (!file.IsOpen()) return 0;
    if (file.Size() > kChecksumSizeLimit) return kNoPackChecksum;
    return PackChecksumOfData(file.ReadBytes(static_cast<uint64_t>(file.Size())), trailerSize);
}

void SetClusterSizeQuery(TClusterSizeQuery query)
{
    g_clusterSizeQuery = query;
}

uint32_t QueryClusterSize(const std::string& root)
{
    return g_clusterSizeQuery ? g_clusterSizeQuery(root) : SystemClusterSize(root);
}

double SpaceNeededForCluster(const TPackTrailer& trailer, uint32_t clusterSize)
{
    uint32_t bytes = trailer.SpaceTable[0];
    for (int k = 1; k < kSpaceTableSize; ++k)
        if (static_cast<uint64_t>(clusterSize) >= (256ull << k)) bytes = trailer.SpaceTable[k];
    return static_cast<double>(bytes);
}

TGFileInfo::TGFileInfo(const std::string& fileName)
{
    TPackVolume volume;
    if (!volume.Open(fileName)) return;
    trailer_ = volume.Trailer();
    if (!HasPackage()) return;
    // Blocks that run into the trailer are kept as read: the reader never
    // fails, the extraction refuses such a package.
    TPackTextBlocks blocks = volume.ReadTextBlocks();
    languageBlock_ = std::move(blocks.Language);
    agentBlock_ = std::move(blocks.Agent);
    webBlock_ = std::move(blocks.Web);
    trailer_.DataStart =
        static_cast<uint32_t>(std::min<int64_t>(blocks.End, std::numeric_limits<uint32_t>::max()));
}

std::string TGFileInfo::GetLangString(const std::string& key, const std::string& def) const
{
    const std::string& entry = ChosenLanguageEntry(languageBlock_);
    if (!HasLanguageEntry(entry)) return def;
    return ListValue(entry, key, def, "");
}

int TGFileInfo::GetLangCharset() const
{
    return LangInt(GetLangString(kLangCharset.Key, kLangCharset.Default), 0);
}

int TGFileInfo::GetLangFontSize() const
{
    return LangInt(GetLangString(kLangFontSize.Key, kLangFontSize.Default), 8);
}

std::string TGFileInfo::GetLangFontName() const
{
    return GetLangString(kLangFontName.Key, kLangFontName.Default);
}

double TGFileInfo::GetSpaceNeeded(const std::string& path) const
{
    return SpaceNeededForCluster(trailer_, QueryClusterSize(path.substr(0, 3)));
}

std::string TGFileInfo::GetUpdateUrl() const
{
    return ListItem(agentBlock_, kAgentUrl);
}

std::string TGFileInfo::GetInfoFileName() const
{
    return FileNamePart(ListItem(agentBlock_, kAgentInfoFile));
}

std::string TGFileInfo::GetOriginalFileName() const
{
    std::string name = GetInfoFileName();
    for (size_t dot = name.rfind('.'); dot != std::string::npos; dot = name.rfind('.')) name.resize(dot);
    return name + ".original";
}

std::string TGFileInfo::GetAgentExeName() const
{
    return ListItem(agentBlock_, kAgentExe);
}

std::string TGFileInfo::GetAgentToken(bool unscramble) const
{
    const std::string token = ListItem(agentBlock_, kAgentToken);
    return unscramble ? UnscrambleToken(token) : token;
}

bool TGFileInfo::IsSilent() const
{
    return ListItem(agentBlock_, kAgentSilent) == "1";
}

std::string TGFileInfo::GetAgentSigners() const
{
    return ListItem(agentBlock_, kAgentSigners);
}

std::string TGFileInfo::GetWebItem(int index) const
{
    return ListItem(webBlock_, index);
}

bool TGFileInfo::IsWebAlwaysDownload() const
{
    return ListItem(webBlock_, kWebAlways) == "1";
}

std::string TGFileInfo::GetWebToken(bool unscramble) const
{
    const std::string token = ListItem(webBlock_, kWebToken);
    return unscramble ? UnscrambleToken(token) : token;
}

std::string TGFileInfo::GetWebSha256() const
{
    std::string hex = TrimBlanks(ListItem(webBlock_, kWebSha256));
    for (char& c : hex)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return hex;
}
