#include "net/sha256.h"

#include <algorithm>
#include <vector>

#include "net/sha256_context.h"
#include "package/files.h"

namespace {
constexpr std::size_t kReadBlock = 1 << 20;
}  // namespace

std::string HexDigits(const unsigned char* bytes, std::size_t count)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 15];
    }
    return hex;
}

THashResult Sha256OfData(const std::string& data, std::string& hex)
{
    hex.clear();
    TSha256Context hash;
    if (!hash.Available()) return THashResult::Unavailable;
    for (std::size_t at = 0; at < data.size(); at += kReadBlock)
        if (!hash.Add(data.data() + at, std::min(kReadBlock, data.size() - at)))
            return THashResult::Unavailable;
    return hash.Finish(hex) ? THashResult::Ok : THashResult::Unavailable;
}

THashResult Sha256OfFile(const std::string& path, std::string& hex)
{
    hex.clear();
    TSha256Context hash;
    if (!hash.Available()) return THashResult::Unavailable;
    TFile file(path, TFile::fmReadShared);
    if (!file.IsOpen()) return THashResult::Unreadable;
    const int64_t size = file.Size();
    std::vector<char> block(kReadBlock);
    int64_t total = 0;
    for (;;) {
        const std::size_t got = file.Read(block.data(), block.size());
        if (got == 0) break;
        if (!hash.Add(block.data(), got)) return THashResult::Unavailable;
        total += static_cast<int64_t>(got);
        FilesPump();  // a large package takes a while
    }
    // A read error ends the loop early, like the end of the file.
    if (total != size) return THashResult::Unreadable;
    return hash.Finish(hex) ? THashResult::Ok : THashResult::Unavailable;
}
