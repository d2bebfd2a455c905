// SHA-256 of the portable build (pkgtool on Linux, the native tests) through
// libgcrypt.
#ifndef _WIN32

#include "net/sha256_context.h"

#include <gcrypt.h>

#include "net/sha256.h"

namespace {

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

}  // namespace

struct TSha256Context::TState {
    gcry_md_hd_t Handle = nullptr;
};

TSha256Context::TSha256Context() : state_(std::make_unique<TState>())
{
    if (!GcryptReady() || gcry_md_open(&state_->Handle, GCRY_MD_SHA256, 0) != 0) state_->Handle = nullptr;
}

TSha256Context::~TSha256Context()
{
    if (state_->Handle) gcry_md_close(state_->Handle);
}

bool TSha256Context::Available() const
{
    return state_->Handle != nullptr;
}

bool TSha256Context::Add(const char* data, std::size_t count)
{
    gcry_md_write(state_->Handle, data, count);
    return true;
}

bool TSha256Context::Finish(std::string& hex)
{
    const unsigned char* digest = gcry_md_read(state_->Handle, GCRY_MD_SHA256);
    if (!digest || gcry_md_get_algo_dlen(GCRY_MD_SHA256) != kDigestSize) return false;
    hex = HexDigits(digest, kDigestSize);
    return true;
}

#endif
