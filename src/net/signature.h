// The Authenticode check of a fetched package against the signing
// certificates the running package names (agent block item kAgentSigners).
//
// A token can be read from every published package, so over plain HTTP it
// proves nothing against someone who serves a package of their own; a
// signature by one of the vendor's certificates does.
#pragma once

#include <string>

// Whether `thumbprint` (hex) is one of the comma-separated `signers`, case
// ignored.
bool SignerListed(const std::string& signers, const std::string& thumbprint);

#ifdef _WIN32
// "" when the file at `path` carries an Authenticode signature that
// WinVerifyTrust accepts and whose signing certificate's SHA-256 thumbprint
// is one of `signers`; otherwise why not, for a trace line. Fails closed:
// where WinVerifyTrust cannot be loaded, every file is refused.
std::string CheckSigner(const std::string& path, const std::string& signers);
#endif
