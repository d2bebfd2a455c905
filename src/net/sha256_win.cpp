#include "net/sha256.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "package/files.h"

namespace {

// The SDK names it only for XP SP3 and later; the provider tells at run time.
#ifndef CALG_SHA_256
constexpr ALG_ID CALG_SHA_256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // ALG_SID_SHA_256
#endif

constexpr std::size_t kReadBlock = 1 << 20;

// One hash object of the provider; both released when it goes.
class THash {
public:
    THash()
    {
        if (!CryptAcquireContextA(&provider_, nullptr, nullptr, PROV_RSA_AES,
                                  CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
            provider_ = 0;
        else if (!CryptCreateHash(provider_, CALG_SHA_256, 0, 0, &hash_))
            hash_ = 0;
    }
    ~THash()
    {
        if (hash_) CryptDestroyHash(hash_);
        if (provider_) CryptReleaseContext(provider_, 0);
    }
    THash(const THash&) = delete;
    THash& operator=(const THash&) = delete;

    bool Available() const { return hash_ != 0; }
    bool Add(const char* data, std::size_t count)
    {
        return CryptHashData(hash_, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(count), 0) != 0;
    }
    bool Finish(std::string& hex)
    {
        BYTE digest[32];
        DWORD length = sizeof digest;
        if (!CryptGetHashParam(hash_, HP_HASHVAL, digest, &length, 0) || length != sizeof digest)
            return false;
        hex = HexDigits(digest, sizeof digest);
        return true;
    }

private:
    HCRYPTPROV provider_ = 0;
    HCRYPTHASH hash_ = 0;
};

}  // namespace

THashResult Sha256OfData(const std::string& data, std::string& hex)
{
    hex.clear();
    THash hash;
    if (!hash.Available()) return THashResult::Unavailable;
    for (std::size_t at = 0; at < data.size(); at += kReadBlock)
        if (!hash.Add(data.data() + at, std::min(kReadBlock, data.size() - at)))
            return THashResult::Unavailable;
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
        if (!hash.Add(block.data(), got)) return THashResult::Unavailable;
        total += static_cast<int64_t>(got);
        FilesPump();  // a large package takes a while
    }
    if (total != size) return THashResult::Unreadable;
    return hash.Finish(hex) ? THashResult::Ok : THashResult::Unavailable;
}
