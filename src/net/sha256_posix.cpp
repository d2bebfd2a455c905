// SHA-256 of the portable build (pkgtool on Linux, the native tests) through
// libgcrypt.
#ifndef _WIN32

#include "net/sha256.h"

#include <gcrypt.h>

#include <vector>

#include "package/files.h"

namespace {

constexpr std::size_t kReadBlock = 1 << 20;
constexpr std::size_t kDigestSize = 32;

// The library wants its version checked once before first use; a program
// that set it up itself keeps its own settings.
bool GcryptReady()
{
    static const bool ready = [] {
        if (!gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
            if (!gcry_check_version(GCRYPT_VERSION)) return false;
            // Digests of public files: no secure memory needed.
            gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
            gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
        }
        return gcry_md_test_algo(GCRY_MD_SHA256) == 0;
    }();
    return ready;
}

// One digest context; closed when it goes.
class THash {
public:
    THash()
    {
        if (!GcryptReady() || gcry_md_open(&hd_, GCRY_MD_SHA256, 0) != 0) hd_ = nullptr;
    }
    ~THash()
    {
        if (hd_) gcry_md_close(hd_);
    }
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;

    bool Available() const { return hd_ != nullptr; }
    void Add(const char* data, std::size_t count) { gcry_md_write(hd_, data, count); }
    bool Finish(std::string& hex)
    {
        const unsigned char* digest = gcry_md_read(hd_, GCRY_MD_SHA256);
        if (!digest || gcry_md_get_algo_dlen(GCRY_MD_SHA256) != kDigestSize) return false;
        hex = HexDigits(digest, kDigestSize);
        return true;
    }

private:
    gcry_md_hd_t hd_ = nullptr;
};

}  // namespace

THashResult Sha256OfData(const std::string& data, std::string& hex)
{
    hex.clear();
    THash hash;
    if (!hash.Available()) return THashResult::Unavailable;
    hash.Add(data.data(), data.size());
    return hash.Finish(hex) ? THashResult::Ok : THashResult::Unavailable;
}

THashResult Sha256OfFile(const std::string& path, std::string& hex)
{
    hex.clear();
    THash hash;
    if (!hash.Available()) return THashResult::Unavailable;
    TFile file(path, TFile::fmReadShared);
    if (!file.IsOpen()) return THashResult::Unreadable;
    const int64_t size = file.Size();
    std::vector<char> block(kReadBlock);
    int64_t total = 0;
    for (;;) {
        const std::size_t got = file.Read(block.data(), block.size());
        if (got == 0) break;
        hash.Add(block.data(), got);
        total += static_cast<int64_t>(got);
    }
    // A read error ends the loop early, like the end of the file.
    if (total != size) return THashResult::Unreadable;
    return hash.Finish(hex) ? THashResult::Ok : THashResult::Unavailable;
}

#endif
