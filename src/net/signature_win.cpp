// WinVerifyTrust and its helpers come from wintrust.dll, loaded from the
// system folder when a check is due: the launcher imports nothing more for a
// check that most packages never make.
#include "net/signature.h"

#include <windows.h>
#include <wincrypt.h>
#include <wintrust.h>

#include "base/safe_library.h"
#include "net/sha256.h"

namespace {

using TWinVerifyTrust = LONG(WINAPI*)(HWND, GUID*, LPVOID);
using TProvDataFromState = CRYPT_PROVIDER_DATA*(WINAPI*)(HANDLE);
using TProvSignerFromChain = CRYPT_PROVIDER_SGNR*(WINAPI*)(CRYPT_PROVIDER_DATA*, DWORD, BOOL, DWORD);
using TProvCertFromChain = CRYPT_PROVIDER_CERT*(WINAPI*)(CRYPT_PROVIDER_SGNR*, DWORD);

// WINTRUST_ACTION_GENERIC_VERIFY_V2: Authenticode.
GUID kVerifyV2 = {0xaac56b, 0xcd44, 0x11d0, {0x8c, 0xc2, 0x00, 0xc0, 0x4f, 0xc2, 0x95, 0xee}};

template <typename T> T Proc(HMODULE module, const char* name)
{
    return reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Thumbprint of the certificate that made the primary signature; "" when the
// verifier kept none.
std::string SignerThumbprint(HMODULE wintrust, HANDLE state)
{
    const auto provData = Proc<TProvDataFromState>(wintrust, "WTHelperProvDataFromStateData");
    const auto signer = Proc<TProvSignerFromChain>(wintrust, "WTHelperGetProvSignerFromChain");
    const auto cert = Proc<TProvCertFromChain>(wintrust, "WTHelperGetProvCertFromChain");
    if (!provData || !signer || !cert) return "";
    CRYPT_PROVIDER_DATA* data = provData(state);
    CRYPT_PROVIDER_SGNR* sgnr = data ? signer(data, 0, FALSE, 0) : nullptr;
    CRYPT_PROVIDER_CERT* leaf = sgnr ? cert(sgnr, 0) : nullptr;
    if (!leaf || !leaf->pCert) return "";
    std::string hex;
    const auto* der = reinterpret_cast<const char*>(leaf->pCert->pbCertEncoded);
    return Sha256OfData(std::string(der, leaf->pCert->cbCertEncoded), hex) == THashResult::Ok ? hex : "";
}

}  // namespace

std::string CheckSigner(const std::string& path, const std::string& signers)
{
    static HMODULE wintrust = LoadSystemLibrary("wintrust.dll");
    const auto verify = Proc<TWinVerifyTrust>(wintrust, "WinVerifyTrust");
    if (!verify) return "WinVerifyTrust is not available, so no signature can be checked";

    // The ANSI file functions reach no longer paths either.
    wchar_t wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH) == 0)
        return "the file name is too long to check its signature";

    WINTRUST_FILE_INFO file = {};
    file.cbStruct = sizeof file;
    file.pcwszFilePath = wide;
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    const LONG status = verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &kVerifyV2, &data);

    std::string why;
    if (status != 0) {
        char code[16];
        wsprintfA(code, "0x%08lX", static_cast<unsigned long>(status));
        why = std::string("no valid Authenticode signature (WinVerifyTrust ") + code + ")";
    } else {
        const std::string thumbprint = SignerThumbprint(wintrust, data.hWVTStateData);
        if (thumbprint.empty())
            why = "the signing certificate could not be read";
        else if (!SignerListed(signers, thumbprint))
            why = "signed by a certificate that is not one of the named signers (" + thumbprint + ")";
    }
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    verify(static_cast<HWND>(INVALID_HANDLE_VALUE), &kVerifyV2, &data);
    return why;
}
