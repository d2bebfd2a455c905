// Signing certificates named in a project: their SHA-256 thumbprints, which
// the agent compares with the certificate that signed an update.
#pragma once

#include <string>

// The SHA-256 thumbprint (64 lower-case hex digits) of the DER encoding of
// the certificate in `data`: DER as it is, or the first
// "-----BEGIN CERTIFICATE-----" block of PEM text. False with `error` when
// `data` is neither.
bool CertificateThumbprint(const std::string& data, std::string& hex, std::string& error);
