#include "net/sha256_context.h"

#include <windows.h>
#include <wincrypt.h>

#include "net/sha256.h"

namespace {

// The SDK names it only for XP SP3 and later; the provider tells at run time.
#ifndef CALG_SHA_256
constexpr ALG_ID CALG_SHA_256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // ALG_SID_SHA_256
#endif

}  // namespace

struct TSha256Context::TState {
    HCRYPTPROV Provider = 0;
    HCRYPTHASH Hash = 0;
};

TSha256Context::TSha256Context() : state_(std::make_unique<TState>())
{
    if (!CryptAcquireContextA(&state_->Provider, nullptr, nullptr, PROV_RSA_AES,
                              CRYPT_VERIFYCONTEXT | CRYPT_SILENT))
        state_->Provider = 0;
    else if (!CryptCreateHash(state_->Provider, CALG_SHA_256, 0, 0, &state_->Hash))
        state_->Hash = 0;
}

TSha256Context::~TSha256Context()
{
    if (state_->Hash) CryptDestroyHash(state_->Hash);
    if (state_->Provider) CryptReleaseContext(state_->Provider, 0);
}

bool TSha256Context::Available() const
{
    return state_->Hash != 0;
}

bool TSha256Context::Add(const char* data, std::size_t count)
{
    return CryptHashData(state_->Hash, reinterpret_cast<const BYTE*>(data), static_cast<DWORD>(count), 0) !=
           0;
}

bool TSha256Context::Finish(std::string& hex)
{
    BYTE digest[32];
    DWORD length = sizeof digest;
    if (!CryptGetHashParam(state_->Hash, HP_HASHVAL, digest, &length, 0) || length != sizeof digest)
        return false;
    hex = HexDigits(digest, sizeof digest);
    return true;
}
